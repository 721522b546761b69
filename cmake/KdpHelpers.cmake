# kdp_test(<name> SOURCES <files...> [LIBS <targets...>])
# One GoogleTest executable per subsystem; every test case becomes a CTest test.
include(GoogleTest)
find_package(GTest REQUIRED)

function(kdp_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} kdp_testing GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
  add_dependencies(kdp_all_tests ${name})
endfunction()

# Every test executable, so a build can ask for exactly what the tests need.
if(NOT TARGET kdp_all_tests)
  add_custom_target(kdp_all_tests)
endif()
