# The host emulator view: its editing engine in plain C++ (no Qt), and the
# Qt view over the screen grid that binds it to an engine.
add_library(corvalen_emueditor STATIC uEmuEditor.cpp)
target_include_directories(corvalen_emueditor PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(corvalen_emueditor PUBLIC corvalen_gridlogic corvalen_keymaps
                      corvalen_framework)

add_library(corvalen_emulator STATIC uHostEmulator.cpp)
target_link_libraries(corvalen_emulator PUBLIC corvalen_emueditor corvalen_grid corvalen_keyhook
                      corvalen_binding corvalen_emumessages Qt6::Widgets)
