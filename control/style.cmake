# The screen style and its stream: plain C++, no Qt.
add_library(corvalen_style STATIC uPleStyle.cpp)
target_include_directories(corvalen_style PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(corvalen_style PUBLIC corvalen_framework)
