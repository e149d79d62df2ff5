# The connection records and the settings in a registry of the test's own.
corvalen_add_test(connrecord_tests SOURCES ConnRecordTest.cpp LIBS corvalen_settings)
corvalen_add_test(settings_tests SOURCES EmuSettingsTest.cpp LIBS corvalen_settings)
