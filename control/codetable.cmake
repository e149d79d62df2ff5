# The code-table editor: the table and the entry editor's state in plain C++
# (no Qt), and the thin Qt dialogs over them.
add_library(corvalen_codetable STATIC uCodeTableModel.cpp uTableEntryModel.cpp)
target_include_directories(corvalen_codetable PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(corvalen_codetable PUBLIC corvalen_framework corvalen_platform)

add_library(corvalen_codetabledialog STATIC uCodeTableEditor.cpp)
target_link_libraries(corvalen_codetabledialog PUBLIC corvalen_codetable corvalen_dialogs
                      Qt6::Widgets)
