# Fails when a source of melodrift/audio includes a header of a layer above
# it: a library of melodrift/libs or the host (every folder under an
# "include" directory there is such a prefix, e.g. "ambiora/", "host/").
#   cmake -DROOT=<repository> -P layering_check.cmake
if(NOT ROOT)
  message(FATAL_ERROR "layering_check.cmake needs -DROOT=<repository root>")
endif()

file(GLOB upper_dirs LIST_DIRECTORIES true
     "${ROOT}/melodrift/libs/*/include/*" "${ROOT}/melodrift/host/include/*" "${ROOT}/melodrift/host/*/include/*")
set(upper)
foreach(dir IN LISTS upper_dirs)
  if(IS_DIRECTORY "${dir}")
    get_filename_component(name "${dir}" NAME)
    list(APPEND upper "${name}")
  endif()
endforeach()
if(NOT upper)
  message(FATAL_ERROR "no library include folders under ${ROOT}/melodrift: wrong ROOT?")
endif()

file(GLOB_RECURSE sources "${ROOT}/melodrift/audio/*.h" "${ROOT}/melodrift/audio/*.hpp"
     "${ROOT}/melodrift/audio/*.c" "${ROOT}/melodrift/audio/*.cpp" "${ROOT}/melodrift/audio/*.rc")
set(found 0)
foreach(source IN LISTS sources)
  file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
  foreach(line IN LISTS lines)
    if(line MATCHES "#[ \t]*include[ \t]*[\"<]([^/\">]+)/")
      string(TOLOWER "${CMAKE_MATCH_1}" prefix)
      list(FIND upper "${prefix}" at)
      if(NOT at EQUAL -1)
        file(RELATIVE_PATH rel "${ROOT}" "${source}")
        message(SEND_ERROR "${rel}: ${line}  (melodrift/audio sits below the libraries and the host)")
        math(EXPR found "${found} + 1")
      endif()
    endif()
  endforeach()
endforeach()
if(found GREATER 0)
  message(FATAL_ERROR "${found} include(s) of a layer above melodrift/audio")
endif()
list(LENGTH sources count)
message(STATUS "melodrift/audio: ${count} files, no include of ${upper}")
