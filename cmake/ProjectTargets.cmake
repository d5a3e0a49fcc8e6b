# Common settings of the project's own targets.
#
#   km_target_defaults(<target>)      C++20, Unicode, warnings as errors
#   km_add_program(<target> ...)      a Windows GUI program (wWinMain), -municode under MinGW
#   km_add_fuzzer(<target> ...)       a libFuzzer target and its bounded CTest case (see below)
#
# Code that includes no Windows header goes into libraries that also build natively
# (the `native` preset); everything else is guarded by if(WIN32) in its folder.

function(km_target_defaults target)
  target_compile_features(${target} PUBLIC cxx_std_20)
  if(WIN32)
    target_compile_definitions(${target} PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                                                _WIN32_WINNT=0x0601 WINVER=0x0601 _WIN32_IE=0x0800)
  endif()
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX /utf-8 /permissive-)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wno-missing-field-initializers
                                             -Wno-cast-function-type)
  endif()
endfunction()

function(km_add_program target)
  add_executable(${target} WIN32 ${ARGN})
  km_target_defaults(${target})
  if(MINGW)
    target_link_options(${target} PRIVATE -municode)
  endif()
endfunction()

# Adds every direct subfolder of the current folder that has a CMakeLists.txt, in
# name order, so that a new component needs no edit of its parent.
function(km_add_subfolders)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt
       AND NOT child STREQUAL "tests")
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# A libFuzzer target over platform-neutral code, built only with KM_BUILD_FUZZERS
# in native clang builds (elsewhere nothing is added). With the tests it also
# runs as a short CTest case named TEST: ARGS (default 20 s), seed 1, new inputs
# and crash files in the build tree, the SEEDS folders only read.
# For long runs (tools/fuzz.sh) it is described in fuzzers/<target>.txt of the
# build folder: "program=", its options of ARGS but the bounds of a run
# ("option=", the dictionary and the largest input, for example), "corpus=" and
# "seeds=" lines.
#   km_add_fuzzer(<target> SOURCES ... [LIBS ...] [TEST <name>] [ARGS ...] [SEEDS <folder>...])
function(km_add_fuzzer target)
  cmake_parse_arguments(F "" "TEST" "SOURCES;LIBS;ARGS;SEEDS" ${ARGN})
  if(NOT KM_BUILD_FUZZERS OR NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang" OR WIN32)
    return()
  endif()
  add_executable(${target} ${F_SOURCES})
  km_target_defaults(${target})
  target_link_libraries(${target} PRIVATE ${F_LIBS})
  target_compile_options(${target} PRIVATE -fsanitize=fuzzer)
  target_link_options(${target} PRIVATE -fsanitize=fuzzer)
  set(corpus ${CMAKE_CURRENT_BINARY_DIR}/corpus_${target})
  set(description "program=$<TARGET_FILE:${target}>\ncorpus=${corpus}\n")
  foreach(arg IN LISTS F_ARGS)
    if(NOT arg MATCHES "^-(runs|max_total_time)=")
      string(APPEND description "option=${arg}\n")
    endif()
  endforeach()
  foreach(seeds IN LISTS F_SEEDS)
    string(APPEND description "seeds=${seeds}\n")
  endforeach()
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/fuzzers/${target}.txt CONTENT "${description}")
  if(KM_BUILD_TESTS AND F_TEST)
    if(NOT F_ARGS)
      set(F_ARGS -max_total_time=20)
    endif()
    file(MAKE_DIRECTORY ${corpus})
    add_test(NAME ${F_TEST} COMMAND ${target} ${F_ARGS} -seed=1 -artifact_prefix=${CMAKE_CURRENT_BINARY_DIR}/
             ${corpus} ${F_SEEDS})
    set_tests_properties(${F_TEST} PROPERTIES TIMEOUT 120)
  endif()
endfunction()
