# kdp_test(<name> SOURCES <files...> [LIBS <targets...>] [THREADED <gtest filter>])
# One GoogleTest executable per subsystem; every test case becomes a CTest test.
#
# THREADED names, as a GoogleTest filter ("AsyncRunnerTest.*:EngineTest.*"), the test cases whose threads
# overlap the main thread's work (an engine, a runner or a watcher thread, or a thread of the test's own).
# They carry the CTest label "threads", which the ThreadSanitizer pass runs (`ctest -L threads`), and
# their executable joins the target kdp_threaded_tests, which that pass builds.
include(GoogleTest)
find_package(GTest REQUIRED)

function(kdp_test name)
  cmake_parse_arguments(ARG "" "THREADED" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} kdp_testing GTest::gmock GTest::gtest_main)
  if(ARG_THREADED)
    gtest_discover_tests(${name} TEST_FILTER "${ARG_THREADED}" DISCOVERY_TIMEOUT 60
                         PROPERTIES TIMEOUT 300 LABELS threads)
    gtest_discover_tests(${name} TEST_FILTER "-${ARG_THREADED}" DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
    add_dependencies(kdp_threaded_tests ${name})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
  endif()
  add_dependencies(kdp_all_tests ${name})
endfunction()

# Every test executable, so a build can ask for exactly what the tests need; and those with threaded
# test cases, for the ThreadSanitizer pass.
if(NOT TARGET kdp_all_tests)
  add_custom_target(kdp_all_tests)
  add_custom_target(kdp_threaded_tests)
endif()
