# The COM server the re-registration tests have regsvr32 register (copied under test names).
add_library(zv_recording_server SHARED ${CMAKE_CURRENT_LIST_DIR}/regserver/RecordingServer.cpp)
set_target_properties(zv_recording_server PROPERTIES PREFIX "" OUTPUT_NAME "ZvRecordingServer"
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
target_link_options(zv_recording_server PRIVATE -static -Wl,--kill-at)
add_dependencies(activex_tests zv_recording_server)
