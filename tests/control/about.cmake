# The about box, offscreen; QtTestMain creates the QApplication.
corvalen_add_test(about_tests SOURCES AboutTest.cpp ${CMAKE_SOURCE_DIR}/tests/support/QtTestMain.cpp
                  LIBS corvalen_about Qt6::Widgets Qt6::Test)
