# The engine binding: loads an engine module, drives its session and moves
# field lists across the engine interface. Plain C++, no Qt.
add_library(corvalen_binding STATIC uPlComApi.cpp uPlComComun.cpp)
target_include_directories(corvalen_binding PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(corvalen_binding PUBLIC corvalen_framework corvalen_platform)

# The control's window messages as Qt events.
add_library(corvalen_emumessages STATIC uEmuMessages.cpp)
target_include_directories(corvalen_emumessages PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(corvalen_emumessages PUBLIC Qt6::Core)
