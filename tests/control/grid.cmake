# The screen grid: its logic without a display, and the widget offscreen.
corvalen_add_test(gridlogic_tests SOURCES GridLogicTest.cpp LIBS corvalen_gridlogic)
# ScreenGridTest.cpp has its own main, which creates the QApplication.
corvalen_add_test(grid_tests SOURCES ScreenGridTest.cpp LIBS corvalen_grid Qt6::Test)
