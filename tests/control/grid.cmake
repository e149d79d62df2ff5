# The screen grid: its logic without a display, and the widget offscreen.
corvalen_add_test(gridlogic_tests SOURCES GridLogicTest.cpp LIBS corvalen_gridlogic)
# The widget test's main (QtTestMain) creates the QApplication.
corvalen_add_test(grid_tests SOURCES ScreenGridTest.cpp ${CMAKE_SOURCE_DIR}/tests/support/QtTestMain.cpp LIBS corvalen_grid Qt6::Test)
