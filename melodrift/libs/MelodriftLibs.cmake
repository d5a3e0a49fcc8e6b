# Helpers for Melodrift's own DLLs (the libraries in this folder, the language
# DLLs and the test modules). Included by every folder that needs them.
#
#   md_add_dll(<name> SOURCES ... [LIBS ...] [PUBLIC_LIBS ...])
#       <name>.dll (no "lib" prefix) in ${KM_MELODRIFT_DIR} beside Melodrift.exe,
#       public headers in <folder>/include, <NAME>_BUILD defined while it is built.
#   md_copy_runtime_dlls(<target> <dll target>...)
#       copies the DLLs beside <target> after each link (tests load them from there).
include_guard(GLOBAL)

function(md_add_dll name)
  cmake_parse_arguments(D "" "" "SOURCES;LIBS;PUBLIC_LIBS" ${ARGN})
  add_library(${name} SHARED ${D_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include)
  string(TOUPPER ${name} upper)
  target_compile_definitions(${name} PRIVATE ${upper}_BUILD)
  target_link_libraries(${name} PRIVATE ${D_LIBS} PUBLIC ${D_PUBLIC_LIBS})
  km_target_defaults(${name})
  set_target_properties(${name} PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${KM_MELODRIFT_DIR})
endfunction()

function(md_copy_runtime_dlls target)
  # A target of its own that runs with every build of ${target}: a copy made
  # only when ${target} is linked again would go stale when just a DLL changed
  # (a module the program loads at run time is not linked against at all).
  set(copies COMMAND ${CMAKE_COMMAND} -E make_directory $<TARGET_FILE_DIR:${target}>)
  foreach(dll IN LISTS ARGN)
    list(APPEND copies COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${dll}> $<TARGET_FILE_DIR:${target}>)
  endforeach()
  string(MAKE_C_IDENTIFIER "${target}_dlls_${ARGN}" name)
  add_custom_target(${name} ${copies} DEPENDS ${ARGN} VERBATIM
    COMMENT "Runtime DLLs beside ${target}")
  add_dependencies(${target} ${name})
endfunction()

# md_add_resource_dll(<name> <output folder> SOURCES <.rc>... [INCLUDES <folders>...])
#   A DLL that holds resources only (no code, no entry point): language DLLs.
function(md_add_resource_dll name folder)
  cmake_parse_arguments(D "" "" "SOURCES;INCLUDES" ${ARGN})
  add_library(${name} SHARED ${D_SOURCES})
  target_include_directories(${name} PRIVATE ${D_INCLUDES})
  set_target_properties(${name} PROPERTIES PREFIX "" LINKER_LANGUAGE C RUNTIME_OUTPUT_DIRECTORY ${folder})
  target_link_options(${name} PRIVATE -nostdlib -Wl,-e,0)
endfunction()
