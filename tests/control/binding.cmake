# The engine binding against stand-in engine modules, and against the real
# 5250 engine and the host simulator.

# A stand-in engine module; the definitions choose which exports it lacks.
function(corvalen_fake_engine name)
  add_library(${name} MODULE FakeEngine.cpp)
  set_target_properties(${name} PROPERTIES PREFIX ""
                        LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/framework)
  target_compile_definitions(${name} PRIVATE ${ARGN})
  target_link_libraries(${name} PRIVATE Threads::Threads)
  target_link_options(${name} PRIVATE -Wl,-Bsymbolic)
endfunction()

corvalen_fake_engine(FakeEngine FAKE_COMPLETE)
corvalen_fake_engine(FakeEngineNoSetParams FAKE_NO_SET_PARAMS)
corvalen_fake_engine(FakeEngineNoLastResult FAKE_NO_LAST_RESULT)
corvalen_fake_engine(FakeEngineMinimal FAKE_MINIMAL)
corvalen_fake_engine(FakeEngineNullError FAKE_NULL_ERROR)

corvalen_add_test(binding_tests
  SOURCES BindingTest.cpp BindingEngineTest.cpp
  LIBS corvalen_binding corvalen_hostsim
  LABELS threaded)
add_dependencies(binding_tests PLTn5250 FakeEngine FakeEngineNoSetParams FakeEngineNoLastResult
                 FakeEngineMinimal FakeEngineNullError)
# The library search for a module's bare name looks in the program's run
# path, which holds the folder of the modules.
set_target_properties(binding_tests PROPERTIES BUILD_RPATH ${CMAKE_BINARY_DIR}/bin)

corvalen_add_test(binding_qt_tests
  SOURCES EmuMessagesTest.cpp ${CMAKE_SOURCE_DIR}/tests/support/QtTestMain.cpp
  LIBS corvalen_emumessages Qt6::Widgets)
