# Screen profiles and the screen properties dialog: the storage and the
# dialog's model in plain C++ (no Qt), and the thin Qt dialog over them.
add_library(corvalen_profiles STATIC uScreenProfiles.cpp uScreenPropsModel.cpp)
target_include_directories(corvalen_profiles PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(corvalen_profiles PUBLIC corvalen_style corvalen_settings corvalen_platform)

add_library(corvalen_profiledialog STATIC uScreenProps.cpp)
target_link_libraries(corvalen_profiledialog PUBLIC corvalen_profiles corvalen_conndialogs
                      corvalen_grid Qt6::Widgets)
