# The about box: a thin Qt dialog with nothing below it.
add_library(corvalen_about STATIC uAbout.cpp)
target_include_directories(corvalen_about PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(corvalen_about PUBLIC Qt6::Widgets)
