# Common settings of the project's own targets.
#
#   km_target_defaults(<target>)      C++20, Unicode, warnings as errors
#   km_add_program(<target> ...)      a Windows GUI program (wWinMain), -municode under MinGW
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
