# The emulator form: its state and rules in plain C++ (no Qt), the help
# service, and the thin Qt form over them with every dialog it opens.
add_library(corvalen_emuformlogic STATIC uEmuFormLogic.cpp)
target_include_directories(corvalen_emuformlogic PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(corvalen_emuformlogic PUBLIC corvalen_binding corvalen_settings
                      corvalen_connmodel corvalen_profiles corvalen_platform)

add_library(corvalen_emuform STATIC uEmuForm.cpp uEmuFormParts.cpp uHelpService.cpp)
target_link_libraries(corvalen_emuform PUBLIC corvalen_emuformlogic corvalen_emulator
                      corvalen_conndialogs corvalen_profiledialog corvalen_codetabledialog
                      corvalen_about corvalen_dialogs corvalen_emumessages Qt6::Widgets
                      Qt6::PrintSupport)
