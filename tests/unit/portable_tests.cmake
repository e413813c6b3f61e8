# Tests of the portable core: built natively (tests/unit) and for Windows,
# where ctest runs them under Wine (tests/win).
set(SETUP_PORTABLE_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/batch_file_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/byte_buffer_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/entry_time_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/inflate_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/locale_name_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/locale_texts_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/package_format_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/package_reader_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pe_signature_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/registry_line_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/run_line_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/setup_layout_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/setup_script_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sha1_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/shortcut_line_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/single_instance_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tree_walker_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/unique_handle_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/utf8_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/windows_name_test.cpp
)
list(APPEND SETUP_PORTABLE_TEST_SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_support.cpp)
