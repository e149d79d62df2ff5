# The key maps: plain C++, no Qt.
add_library(corvalen_keymaps STATIC uKbdMapping.cpp)
target_include_directories(corvalen_keymaps PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})

# The keyboard hook and the Qt key codes it looks keys up by.
add_library(corvalen_keyhook STATIC uAidHook.cpp uQtKeys.cpp)
target_include_directories(corvalen_keyhook PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(corvalen_keyhook PUBLIC corvalen_keymaps Qt6::Widgets)
