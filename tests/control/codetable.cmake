# The code-table editor: the table and the entry editor without a display.
corvalen_add_test(codetable_tests SOURCES CodeTableTest.cpp LIBS corvalen_codetable)

# The thin Qt dialogs, offscreen; QtTestMain creates the QApplication.
corvalen_add_test(codetabledialog_tests SOURCES CodeTableDialogTest.cpp
                  ${CMAKE_SOURCE_DIR}/tests/support/QtTestMain.cpp
                  LIBS corvalen_codetabledialog Qt6::Widgets)
