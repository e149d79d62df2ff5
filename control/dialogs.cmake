# The connection dialogs: their models in plain C++ (no Qt), and the thin
# Qt dialogs over them with the common dialogs they ask the user through.
add_library(corvalen_connmodel STATIC uConnSettings.cpp uConnList.cpp)
target_include_directories(corvalen_connmodel PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(corvalen_connmodel PUBLIC corvalen_framework corvalen_platform
                      corvalen_binding corvalen_plhttp_api corvalen_settings)

add_library(corvalen_conndialogs STATIC uDialogs.cpp uCfgConnDlg.cpp uConnParam.cpp)
target_link_libraries(corvalen_conndialogs PUBLIC corvalen_connmodel Qt6::Widgets)
