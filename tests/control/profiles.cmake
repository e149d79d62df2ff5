# Screen profiles and the screen properties dialog's model, without a display.
corvalen_add_test(profiles_tests SOURCES ScreenProfilesTest.cpp ScreenPropsModelTest.cpp
                  LIBS corvalen_profiles)

# The thin Qt dialog, offscreen; QtTestMain creates the QApplication.
corvalen_add_test(profiledialog_tests SOURCES ScreenPropsTest.cpp ${CMAKE_SOURCE_DIR}/tests/support/QtTestMain.cpp
                  LIBS corvalen_profiledialog Qt6::Widgets)
