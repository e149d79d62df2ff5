# The screen grid: its cell model and painting logic in plain C++, and the
# thin Qt widget over them.
add_library(corvalen_gridlogic STATIC uScreenCells.cpp uGridLogic.cpp)
target_include_directories(corvalen_gridlogic PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(corvalen_gridlogic PUBLIC corvalen_style corvalen_framework)

add_library(corvalen_grid STATIC uScreenGrid.cpp uCellFonts.cpp)
target_link_libraries(corvalen_grid PUBLIC corvalen_gridlogic Qt6::Widgets Qt6::PrintSupport)
