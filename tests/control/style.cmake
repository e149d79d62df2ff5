corvalen_add_test(style_tests SOURCES StyleTest.cpp LIBS corvalen_style)
