# The host emulator: its editing engine with a fake view.
corvalen_add_test(emueditor_tests SOURCES EmuEditorTest.cpp LIBS corvalen_emueditor
                  corvalen_binding)

# The view with the real 5250 engine and a replayed sign-on screen; keeps a
# picture of the view in the build folder. Own main with the QApplication.
# Not run under ThreadSanitizer: the events cross threads inside Qt, whose
# own locking the sanitizer cannot see (the binding's threading is tested
# without Qt in binding_tests).
corvalen_add_test(emulator_tests SOURCES HostEmulatorTest.cpp ${CMAKE_SOURCE_DIR}/tests/support/QtTestMain.cpp
                  LIBS corvalen_emulator corvalen_hostsim Qt6::Widgets)
add_dependencies(emulator_tests PLTn5250)
target_compile_definitions(emulator_tests PRIVATE
  CORVALEN_TRACES_DIR="${CMAKE_SOURCE_DIR}/../shared/traces"
  CORVALEN_SCREENSHOT_PNG="${CMAKE_BINARY_DIR}/signon-screen.png")
