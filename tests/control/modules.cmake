# The stand-in modules for the "Virtual" and "HTTP" connection types, loaded
# through their exports as the binding loads them. The HTTP program has its
# own main, which creates the QApplication its dialog needs.
corvalen_add_test(plvirtual_tests SOURCES VirtualTemplateTest.cpp PLVirtualTest.cpp
                  LIBS ${CMAKE_DL_LIBS} corvalen_virtual_template corvalen_framework)
add_dependencies(plvirtual_tests PLVirtual)

corvalen_add_test(plhttp_tests SOURCES PLHTTPTest.cpp
                  LIBS ${CMAKE_DL_LIBS} corvalen_plhttp_api Qt6::Widgets)
add_dependencies(plhttp_tests PLHTTP)
