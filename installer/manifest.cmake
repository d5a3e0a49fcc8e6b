# Lists what an installer packs: every file of a program folder as the build laid
# it out, at build time, minus what never ships. Run with cmake -P:
#
#   -DPROGRAM_DIR=<build>/Klarwin   the program folder
#   -DNAME=klarwin                  prefix of the files written
#   -DOUT_DIR=<folder>              where they are written
#   -DREQUIRED=Klarwin.exe;...      files that must be there (relative, with /)
#   -DKEEP_DIRS=backup;...          folders whose content is the user's, never packed
#
# Writes, each only when its content changed (so the installers are rebuilt only
# when the program folder changed):
#   <NAME>_install.nsh     SetOutPath/File lines
#   <NAME>_uninstall.nsh   Delete lines, then RMDir lines deepest first (only
#                          empty folders go: whatever the user put there stays)
#   <NAME>_files.txt       the packed files, one relative path a line
#   <NAME>_excluded.txt    the files left out, with the rule that left them out
#   <NAME>.stamp           path, size and time of every packed file
#
# Never packed (each rule is deliberate):
#   *.log                  logs the programs write beside themselves (the bus log,
#                          the debug log) when run from the build folder
#   *.bak                  the program file an update set aside
#   *.a *.lib *.exp *.pdb *.ilk *.map  link and debug by-products
#   *.tmp, Thumbs.db, desktop.ini      leftovers of runs and of the shell
#   KEEP_DIRS/**           the user's data (Klarwin's registry backups)
#   Skins/Standard-eng.xml the plain skin of the host's tests: it has no pictures and
#                          no menu buttons, so a user who chose it could not reach
#                          "Skins..." again
cmake_minimum_required(VERSION 3.25)

foreach(var PROGRAM_DIR NAME OUT_DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "manifest.cmake: ${var} is not set")
  endif()
endforeach()
if(NOT IS_DIRECTORY "${PROGRAM_DIR}")
  message(FATAL_ERROR "manifest.cmake: the program folder ${PROGRAM_DIR} does not exist (build the program first)")
endif()

set(exclude_rules
  "[.]log$" "[.]bak$" "[.]a$" "[.]lib$" "[.]exp$" "[.]pdb$" "[.]ilk$" "[.]map$" "[.]tmp$"
  "(^|/)Thumbs[.]db$" "(^|/)desktop[.]ini$" "^Skins/Standard-eng[.]xml$")

file(GLOB_RECURSE all_files LIST_DIRECTORIES false RELATIVE "${PROGRAM_DIR}" "${PROGRAM_DIR}/*")
list(SORT all_files)
set(packed)
set(excluded "")
foreach(rel IN LISTS all_files)
  set(reason "")
  foreach(keep IN LISTS KEEP_DIRS)
    if(rel MATCHES "^${keep}/")
      set(reason "user data (${keep}/)")
    endif()
  endforeach()
  if(NOT reason)
    foreach(rule IN LISTS exclude_rules)
      string(TOLOWER "${rel}" lower)
      string(TOLOWER "${rule}" lower_rule)
      if(lower MATCHES "${lower_rule}")
        set(reason "never shipped (${rule})")
        break()
      endif()
    endforeach()
  endif()
  if(reason)
    string(APPEND excluded "${rel}\t${reason}\n")
  else()
    list(APPEND packed "${rel}")
  endif()
endforeach()

foreach(req IN LISTS REQUIRED)
  if(NOT req IN_LIST packed)
    message(FATAL_ERROR "manifest.cmake: ${PROGRAM_DIR}/${req} is missing: the installer would be incomplete")
  endif()
endforeach()

# Folders to create (every folder of a packed file, and the empty folders the
# program expects, such as Modules) and to remove on uninstall.
file(GLOB_RECURSE all_dirs LIST_DIRECTORIES true RELATIVE "${PROGRAM_DIR}" "${PROGRAM_DIR}/*")
set(dirs)
foreach(rel IN LISTS all_dirs)
  if(IS_DIRECTORY "${PROGRAM_DIR}/${rel}")
    set(skip FALSE)
    foreach(keep IN LISTS KEEP_DIRS)
      if(rel STREQUAL keep OR rel MATCHES "^${keep}/")
        set(skip TRUE)
      endif()
    endforeach()
    if(NOT skip)
      list(APPEND dirs "${rel}")
    endif()
  endif()
endforeach()
list(SORT dirs)

set(install "; Generated from ${PROGRAM_DIR} at build time: do not edit.\n")
set(uninstall "${install}")
set(listing "")
set(stamp "")
foreach(dir IN LISTS dirs)
  string(REPLACE "/" "\\" win "${dir}")
  string(APPEND install "CreateDirectory \"$INSTDIR\\${win}\"\n")
endforeach()
set(current_dir "<none>")
foreach(rel IN LISTS packed)
  get_filename_component(dir "${rel}" DIRECTORY)
  if(NOT dir STREQUAL current_dir)
    string(REPLACE "/" "\\" win "${dir}")
    if(dir STREQUAL "")
      string(APPEND install "SetOutPath \"$INSTDIR\"\n")
    else()
      string(APPEND install "SetOutPath \"$INSTDIR\\${win}\"\n")
    endif()
    set(current_dir "${dir}")
  endif()
  string(APPEND install "File \"${PROGRAM_DIR}/${rel}\"\n")
  string(REPLACE "/" "\\" win "${rel}")
  string(APPEND uninstall "Delete \"$INSTDIR\\${win}\"\n")
  string(APPEND listing "${win}\n")
  file(SIZE "${PROGRAM_DIR}/${rel}" size)
  file(TIMESTAMP "${PROGRAM_DIR}/${rel}" time "%Y%m%d%H%M%S")
  string(APPEND stamp "${rel} ${size} ${time}\n")
endforeach()
string(APPEND install "SetOutPath \"$INSTDIR\"\n")
# Deepest folders first, so that a parent is empty by the time it is removed.
list(REVERSE dirs)
foreach(dir IN LISTS dirs)
  string(REPLACE "/" "\\" win "${dir}")
  string(APPEND uninstall "RMDir \"$INSTDIR\\${win}\"\n")
endforeach()

function(write_if_changed path content)
  if(EXISTS "${path}")
    file(READ "${path}" old)
    if(old STREQUAL content)
      return()
    endif()
  endif()
  file(WRITE "${path}" "${content}")
endfunction()

file(MAKE_DIRECTORY "${OUT_DIR}")
write_if_changed("${OUT_DIR}/${NAME}_install.nsh" "${install}")
write_if_changed("${OUT_DIR}/${NAME}_uninstall.nsh" "${uninstall}")
write_if_changed("${OUT_DIR}/${NAME}_files.txt" "${listing}")
write_if_changed("${OUT_DIR}/${NAME}_excluded.txt" "${excluded}")
write_if_changed("${OUT_DIR}/${NAME}.stamp" "${stamp}")
if(excluded)
  string(REPLACE "\n" "\n  " shown "${excluded}")
  message(STATUS "Not packed from ${PROGRAM_DIR}:\n  ${shown}")
endif()
