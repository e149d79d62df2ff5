# The built module through its exports: against the host simulator, a
# recorded log-on played back, and a real TN3270 host on loopback.
get_filename_component(CORVALEN_TRACES_DIR "${CMAKE_SOURCE_DIR}/../shared/traces" ABSOLUTE)
get_filename_component(CORVALEN_HERCULES_TOOLS_DIR "${CMAKE_SOURCE_DIR}/../shared/tools/hercules"
                       ABSOLUTE)

corvalen_add_test(engine3270_module_tests
  SOURCES IntegrationInterfaceTest.cpp IntegrationSessionTest.cpp
          IntegrationReadModifiedTest.cpp IntegrationHostFaultsTest.cpp ReplayLoginTest.cpp
          support/ScreenIo.cpp
  LIBS corvalen_framework corvalen_hostsim ${CMAKE_DL_LIBS}
  LABELS threaded)
target_compile_definitions(engine3270_module_tests
                           PRIVATE CORVALEN_TRACES_DIR="${CORVALEN_TRACES_DIR}")

# Each test starts its own host instance (about half a second) and stops it
# again (one to two seconds).
corvalen_add_test(engine3270_hercules_tests
  SOURCES HerculesHostTest.cpp support/HerculesPeer.cpp support/ScreenIo.cpp
  LIBS corvalen_framework ${CMAKE_DL_LIBS}
  LABELS threaded)
target_compile_definitions(engine3270_hercules_tests
                           PRIVATE CORVALEN_HERCULES_TOOLS_DIR="${CORVALEN_HERCULES_TOOLS_DIR}")

foreach(t engine3270_module_tests engine3270_hercules_tests)
  if(TARGET PLTn3270)
    add_dependencies(${t} PLTn3270)
  endif()
endforeach()
