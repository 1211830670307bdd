# The stand-in uninstaller the tests register and run (copied under test names).
add_executable(zv_uninstall_marker WIN32 ${CMAKE_CURRENT_LIST_DIR}/marker/Marker.cpp)
set_target_properties(zv_uninstall_marker PROPERTIES OUTPUT_NAME "ZvUninstallMarker"
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
target_link_options(zv_uninstall_marker PRIVATE -static -municode)
add_dependencies(uninstall_tests zv_uninstall_marker)
