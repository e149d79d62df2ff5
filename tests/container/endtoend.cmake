# The container end to end: the window from corvalen_container, the control
# from Velmora.so beside the test program, the 5250 module, and the host
# simulator on loopback, offscreen. A Qt test, so never run under
# ThreadSanitizer (see tests/control/view/CMakeLists.txt).
corvalen_add_test(endtoend_tests
  SOURCES EndToEndTest.cpp ${CMAKE_SOURCE_DIR}/tests/support/QtTestMain.cpp
  LIBS corvalen_container corvalen_hostsim corvalen_settings Qt6::Widgets Qt6::Test)
add_dependencies(endtoend_tests Velmora PLTn5250 log32)
