# The file lists of manifest.cmake over a made-up program folder: what ships,
# what never does, the user's folder, a missing required file, and no rewrite
# (so no new installer) when nothing changed.
#   cmake -DMANIFEST=<installer>/manifest.cmake -DWORK=<scratch folder> -P manifest_test.cmake
cmake_minimum_required(VERSION 3.25)
set(prog ${WORK}/Program)
set(out ${WORK}/out)
file(REMOVE_RECURSE ${WORK})
foreach(f Prog.exe Lib.dll "Language/eng/Presets.xml" "Modules/Player.dll" "Skins/My Skin.xml"
          Prog.log Prog_debug.log Prog.exe.bak libLib.dll.a Lib.lib Lib.pdb "backup/20261208_0341.dat" "Skins/Standard-eng.xml")
  file(WRITE "${prog}/${f}" "x")
endforeach()
file(MAKE_DIRECTORY ${prog}/Empty)

function(run_manifest result)
  execute_process(COMMAND ${CMAKE_COMMAND} -DPROGRAM_DIR=${prog} -DNAME=p -DOUT_DIR=${out}
                          "-DREQUIRED=${ARGN}" -DKEEP_DIRS=backup -P ${MANIFEST}
                  RESULT_VARIABLE rv OUTPUT_QUIET ERROR_VARIABLE err)
  set(${result} ${rv} PARENT_SCOPE)
endfunction()

function(expect_equal what actual expected)
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "${what}:\n--- got\n${actual}\n--- expected\n${expected}")
  endif()
endfunction()

run_manifest(rv Prog.exe)
expect_equal("result" "${rv}" "0")
file(READ ${out}/p_files.txt files)
expect_equal("packed files" "${files}"
  "Language\\eng\\Presets.xml\nLib.dll\nModules\\Player.dll\nProg.exe\nSkins\\My Skin.xml\n")
file(READ ${out}/p_excluded.txt excluded)
foreach(f Prog.log Prog_debug.log Prog.exe.bak libLib.dll.a Lib.lib Lib.pdb backup/20261208_0341.dat
          Skins/Standard-eng.xml)
  if(NOT excluded MATCHES "(^|\n)${f}\t")
    message(FATAL_ERROR "${f} is not listed as left out:\n${excluded}")
  endif()
endforeach()
file(READ ${out}/p_install.nsh install)
foreach(line "CreateDirectory \"$INSTDIR\\Empty\"" "CreateDirectory \"$INSTDIR\\Modules\""
             "SetOutPath \"$INSTDIR\\Skins\"\nFile \"${prog}/Skins/My Skin.xml\"")
  string(FIND "${install}" "${line}" at)
  if(at LESS 0)
    message(FATAL_ERROR "install script lacks ${line}:\n${install}")
  endif()
endforeach()
if(install MATCHES "backup" OR install MATCHES "[.]log\"")
  message(FATAL_ERROR "install script packs what it must not:\n${install}")
endif()
# The uninstaller: every packed file, then the folders deepest first; nothing of
# the user's folder.
file(READ ${out}/p_uninstall.nsh uninstall)
string(FIND "${uninstall}" "Delete \"$INSTDIR\\Skins\\My Skin.xml\"" del)
string(FIND "${uninstall}" "RMDir \"$INSTDIR\\Language\\eng\"" deep)
string(FIND "${uninstall}" "RMDir \"$INSTDIR\\Language\"" parent)
if(del LESS 0 OR deep LESS 0 OR parent LESS 0 OR NOT deep LESS parent OR NOT del LESS deep)
  message(FATAL_ERROR "uninstall script out of order:\n${uninstall}")
endif()
if(uninstall MATCHES "backup" OR uninstall MATCHES "RMDir /r" OR uninstall MATCHES "Delete \"[$]INSTDIR\\\\[*]")
  message(FATAL_ERROR "uninstall script reaches beyond the packed files:\n${uninstall}")
endif()

# Unchanged folder: the lists are not written again.
file(TIMESTAMP ${out}/p.stamp before "%s")
file(TIMESTAMP ${out}/p_install.nsh before_install "%s")
execute_process(COMMAND ${CMAKE_COMMAND} -E sleep 1.1)
run_manifest(rv Prog.exe)
file(TIMESTAMP ${out}/p.stamp after "%s")
file(TIMESTAMP ${out}/p_install.nsh after_install "%s")
expect_equal("stamp time" "${after}" "${before}")
expect_equal("install script time" "${after_install}" "${before_install}")
# A changed file changes the stamp.
execute_process(COMMAND ${CMAKE_COMMAND} -E sleep 1.1)
file(WRITE ${prog}/Lib.dll "xx")
run_manifest(rv Prog.exe)
file(TIMESTAMP ${out}/p.stamp changed "%s")
if(changed STREQUAL before)
  message(FATAL_ERROR "a changed file left the stamp as it was")
endif()

# A required file that is not there (or only as something never shipped) fails.
run_manifest(rv Prog.exe Missing.dll)
if(rv EQUAL 0)
  message(FATAL_ERROR "a missing required file was accepted")
endif()
run_manifest(rv Prog.log)
if(rv EQUAL 0)
  message(FATAL_ERROR "a required file that never ships was accepted")
endif()
file(REMOVE_RECURSE ${WORK})
message(STATUS "manifest lists as expected")
