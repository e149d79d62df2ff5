corvalen_add_test(keymap_tests SOURCES KeyMapsTest.cpp LIBS corvalen_keymaps)
# The hook's test has its main in QtTestMain, which creates the QApplication;
# the linker then takes no main from the static gtest_main archive.
corvalen_add_test(aidhook_tests SOURCES AidHookTest.cpp ${CMAKE_SOURCE_DIR}/tests/support/QtTestMain.cpp LIBS corvalen_keyhook Qt6::Test)
