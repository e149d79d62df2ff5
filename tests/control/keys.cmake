corvalen_add_test(keymap_tests SOURCES KeyMapsTest.cpp LIBS corvalen_keymaps)
# AidHookTest.cpp has its own main, which creates the QApplication; the
# linker then takes no main from the static gtest_main archive.
corvalen_add_test(aidhook_tests SOURCES AidHookTest.cpp LIBS corvalen_keyhook Qt6::Test)
