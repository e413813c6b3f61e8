# Tests of the portable core: built natively (tests/unit) and for Windows,
# where ctest runs them under Wine (tests/win).
set(SETUP_PORTABLE_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/base_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/inflate_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/install_space_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/locale_texts_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/package_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/script_line_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/script_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/setup_layout_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sha1_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/single_instance_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tree_walker_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/utf8_test.cpp
)
list(APPEND SETUP_PORTABLE_TEST_SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_support.cpp)
