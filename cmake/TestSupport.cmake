# Tests: GoogleTest built from source for the target (Debian's googletest package
# puts the sources in /usr/src/googletest). Under the Windows presets every test
# runs through tools/wine-run (the cross-compiling emulator) inside the build's
# own Wine prefix; the fixture "testenv" starts a virtual display and a sound
# server before the first such test and stops them after the last one.
#
#   km_add_test(<target> SOURCES ... [LIBS ...] [LABELS ...] [LOCK <resource>...] [SERIAL] [GUI] [INPUT])
#
# LOCK names shared state (a registry key, a file) so that CTest never runs two
# tests that touch it at the same time; everything else may run in parallel.
# SERIAL runs each test of the target alone (real-time sound, for example).
# INPUT: the tests move the real mouse pointer or type on the real keyboard,
# so they run alone too: a window of a test beside them, coming up at the
# wrong moment, would take their clicks and keys.

set(KM_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
if(EXISTS ${KM_GTEST_SOURCE_DIR}/CMakeLists.txt)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${KM_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

if(CMAKE_CROSSCOMPILING_EMULATOR)
  add_test(NAME testenv.start COMMAND ${CMAKE_SOURCE_DIR}/tools/testenv start ${CMAKE_BINARY_DIR})
  add_test(NAME testenv.stop COMMAND ${CMAKE_SOURCE_DIR}/tools/testenv stop ${CMAKE_BINARY_DIR})
  set_tests_properties(testenv.start PROPERTIES FIXTURES_SETUP testenv)
  set_tests_properties(testenv.stop PROPERTIES FIXTURES_CLEANUP testenv)
endif()

function(km_add_test target)
  cmake_parse_arguments(T "GUI;SERIAL;INPUT" "TIMEOUT" "SOURCES;LIBS;LABELS;LOCK" ${ARGN})
  add_executable(${target} ${T_SOURCES})
  km_target_defaults(${target})
  target_link_libraries(${target} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set(props TIMEOUT ${T_TIMEOUT})
  if(T_SERIAL OR T_INPUT)
    # Timing-sensitive tests (real-time sound) and tests with real input run
    # with nothing beside them.
    list(APPEND props RUN_SERIAL TRUE)
  endif()
  if(CMAKE_CROSSCOMPILING_EMULATOR)
    list(APPEND props FIXTURES_REQUIRED testenv)
  endif()
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>
    TEST_LIST ${target}_TESTS
    PROPERTIES ${props})
  # List-valued properties (several locks or labels) do not survive the trip
  # through gtest_discover_tests, so they are set by a script CTest runs after
  # the discovered tests were added.
  if(T_LOCK OR T_LABELS)
    set(script "${CMAKE_CURRENT_BINARY_DIR}/${target}_properties.cmake")
    file(WRITE ${script}
      "if(DEFINED ${target}_TESTS)\n"
      "  set_tests_properties(\${${target}_TESTS} PROPERTIES RESOURCE_LOCK \"${T_LOCK}\" LABELS \"${T_LABELS}\")\n"
      "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
  endif()
endfunction()
