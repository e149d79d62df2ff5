# The connection dialogs: their models in plain C++ (no Qt), and the thin
# Qt dialogs over them with the common dialogs they ask the user through.
add_library(corvalen_connmodel STATIC uConnSettings.cpp uConnList.cpp)
target_include_directories(corvalen_connmodel PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(corvalen_connmodel PUBLIC corvalen_framework corvalen_platform
                      corvalen_binding corvalen_plhttp_api corvalen_settings)

# The common dialogs behind their one injectable interface.
add_library(corvalen_dialogs STATIC uDialogs.cpp)
target_include_directories(corvalen_dialogs PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(corvalen_dialogs PUBLIC Qt6::Widgets Qt6::PrintSupport)

# "&Modify table" opens the code-table editor.
add_library(corvalen_conndialogs STATIC uCfgConnDlg.cpp uConnParam.cpp)
target_link_libraries(corvalen_conndialogs PUBLIC corvalen_connmodel corvalen_dialogs
                      corvalen_codetabledialog Qt6::Widgets)
