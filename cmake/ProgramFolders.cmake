# The program folders (KM_KLARWIN_DIR, KM_MELODRIFT_DIR) and the targets that
# fill them: the installers pack them, tools/run.sh builds only them.
# Every target that puts something into a program folder: found by where it puts
# its output, so that libraries, modules and languages added later are packed
# (and built first) without a change here. Files drawn by custom targets (the
# artwork, the skins) are not found that way: those targets are EXTRA_TARGETS.
function(km_collect_targets dir folder out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  set(found ${${out}})
  foreach(t IN LISTS targets)
    get_target_property(type ${t} TYPE)
    if(type STREQUAL "EXECUTABLE" OR type STREQUAL "SHARED_LIBRARY" OR type STREQUAL "MODULE_LIBRARY")
      get_target_property(where ${t} RUNTIME_OUTPUT_DIRECTORY)
      if(type STREQUAL "MODULE_LIBRARY")
        get_target_property(where ${t} LIBRARY_OUTPUT_DIRECTORY)
      endif()
      if(where AND (where STREQUAL folder OR where MATCHES "^${folder}/"))
        list(APPEND found ${t})
      endif()
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    km_collect_targets(${sub} ${folder} found)
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# What one program folder needs, and nothing else (tools/run.sh builds these):
# klarwin_program and melodrift_program.
function(km_program_target list folder)
  set(deps)
  km_collect_targets(${CMAKE_SOURCE_DIR} ${folder} deps)
  foreach(t IN LISTS ARGN)
    if(TARGET ${t})
      list(APPEND deps ${t})
    endif()
  endforeach()
  add_custom_target(${list}_program)
  add_dependencies(${list}_program ${deps})
endfunction()

km_program_target(klarwin ${KM_KLARWIN_DIR} klarwin_art)
km_program_target(melodrift ${KM_MELODRIFT_DIR} melodrift_art melodrift_skins)
