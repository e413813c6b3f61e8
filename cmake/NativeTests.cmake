# One native GoogleTest program: linked with GoogleTest, its cases found by
# ctest. GCC 12 reports out-of-bounds memmove in inlined
# std::vector::insert that cannot happen (GCC bug 107852); only the test
# code trips over it.
find_package(GTest REQUIRED)
include(GoogleTest)

function(setup_native_gtest target)
  target_link_libraries(${target} PRIVATE GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 30)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wno-array-bounds -Wno-stringop-overflow
                                             -Wno-stringop-overread)
  endif()
endfunction()
