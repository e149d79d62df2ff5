# The connection dialogs: their models without a display.
corvalen_add_test(connmodel_tests SOURCES ConnSettingsTest.cpp ConnListTest.cpp
                  LIBS corvalen_connmodel)

# The thin Qt dialogs, offscreen; QtTestMain creates the QApplication.
corvalen_add_test(conndialog_tests SOURCES ConnDialogTest.cpp ${CMAKE_SOURCE_DIR}/tests/support/QtTestMain.cpp
                  LIBS corvalen_conndialogs Qt6::Widgets Qt6::Test)
