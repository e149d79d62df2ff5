# The emulator form: its logic with stand-ins for the widgets, the registry
# and the binding (one test reports from an engine thread, so ThreadSanitizer
# runs it too); and the form itself offscreen, with a stand-in engine module
# and with the real 5250 engine against the host simulator.
corvalen_add_test(emuformlogic_tests SOURCES EmuFormLogicTest.cpp LIBS corvalen_emuformlogic
                  LABELS threaded)

corvalen_add_test(emuform_tests SOURCES EmuFormTest.cpp ${CMAKE_SOURCE_DIR}/tests/support/QtTestMain.cpp
                  LIBS corvalen_emuform corvalen_hostsim Qt6::Widgets Qt6::Test)
add_dependencies(emuform_tests PLTn5250 FakeEngine)
get_filename_component(CORVALEN_FORM_TRACES_DIR "${CMAKE_SOURCE_DIR}/../shared/traces" ABSOLUTE)
target_compile_definitions(emuform_tests PRIVATE CORVALEN_TRACES_DIR="${CORVALEN_FORM_TRACES_DIR}")

# The form with the real 3270 engine: against the host simulator, and against
# the mainframe emulator where it is installed (skipped otherwise).
get_filename_component(CORVALEN_FORM_HERCULES_DIR "${CMAKE_SOURCE_DIR}/../shared/tools/hercules"
                       ABSOLUTE)
corvalen_add_test(emuform3270_tests
  SOURCES EmuForm3270Test.cpp ${CMAKE_SOURCE_DIR}/tests/engine3270/support/HerculesPeer.cpp
          ${CMAKE_SOURCE_DIR}/tests/support/QtTestMain.cpp
  LIBS corvalen_emuform corvalen_hostsim Qt6::Widgets Qt6::Test)
add_dependencies(emuform3270_tests PLTn3270)
target_compile_definitions(emuform3270_tests
                           PRIVATE CORVALEN_HERCULES_TOOLS_DIR="${CORVALEN_FORM_HERCULES_DIR}")
