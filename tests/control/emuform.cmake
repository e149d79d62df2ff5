# The emulator form: its logic with stand-ins for the widgets, the registry
# and the binding (one test reports from an engine thread, so ThreadSanitizer
# runs it too); and the form itself offscreen, with a stand-in engine module
# and with the real 5250 engine against the host simulator.
corvalen_add_test(emuformlogic_tests SOURCES EmuFormLogicTest.cpp LIBS corvalen_emuformlogic
                  LABELS threaded)

corvalen_add_test(emuform_tests SOURCES EmuFormTest.cpp ${CMAKE_SOURCE_DIR}/tests/support/QtTestMain.cpp
                  LIBS corvalen_emuform corvalen_hostsim Qt6::Widgets)
add_dependencies(emuform_tests PLTn5250 FakeEngine)
get_filename_component(CORVALEN_FORM_TRACES_DIR "${CMAKE_SOURCE_DIR}/../shared/traces" ABSOLUTE)
target_compile_definitions(emuform_tests PRIVATE CORVALEN_TRACES_DIR="${CORVALEN_FORM_TRACES_DIR}")
