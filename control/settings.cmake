# The connection records and the control's settings in the registry: plain
# C++, no Qt.
add_library(corvalen_settings STATIC uConnParm.cpp uEmuSettings.cpp)
target_include_directories(corvalen_settings PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(corvalen_settings PUBLIC corvalen_framework corvalen_platform)
