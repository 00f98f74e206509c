# cmake -DGUI=aphcalc -DCLI=aphcalc-cli -DSCRIPT=script.json -DWORK=folder -DEXAMPLES=folder
#       -P compare_replay.cmake
# Replays SCRIPT through the window and through the headless program: what they print must match,
# and so must every file they write (but for the time stamp of a saved case). In the script,
# "@DIR@" stands for a fresh folder of the run's own, holding a copy of scripts/files, and
# "@EXAMPLES@" for the examples folder; both runs see the same paths. Neither program may say
# anything on stderr, in a session without a runtime folder of its own.
cmake_policy(VERSION 3.25)
get_filename_component(name ${SCRIPT} NAME_WE)
get_filename_component(here ${CMAKE_CURRENT_LIST_FILE} DIRECTORY)
set(dir ${WORK}/${name})
set(script ${WORK}/${name}.script.json)
file(READ ${SCRIPT} text)
string(REPLACE "@DIR@" "${dir}" text "${text}")
string(REPLACE "@EXAMPLES@" "${EXAMPLES}" text "${text}")
file(WRITE ${script} "${text}")

function(fresh_folder)
  file(REMOVE_RECURSE ${dir})
  file(MAKE_DIRECTORY ${dir})
  file(COPY ${here}/scripts/files/ DESTINATION ${dir})
endfunction()

function(run_replay label out)
  fresh_folder()
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=XDG_RUNTIME_DIR ${ARGN}
                  OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${label} failed (${status}) on ${SCRIPT}:\n${errors}")
  endif()
  if(NOT errors STREQUAL "")
    message(FATAL_ERROR "${label} said something on stderr on ${SCRIPT}:\n${errors}")
  endif()
  set(${out} "${output}" PARENT_SCOPE)
endfunction()

run_replay("aphcalc-cli replay" headless ${CLI} replay ${script})
file(REMOVE_RECURSE ${dir}.headless)
file(RENAME ${dir} ${dir}.headless)
run_replay("aphcalc --replay" window ${GUI} --replay ${script})

if(NOT headless STREQUAL window)
  file(WRITE ${WORK}/${name}.headless.json "${headless}")
  file(WRITE ${WORK}/${name}.window.json "${window}")
  message(FATAL_ERROR "the window and the headless program differ on ${SCRIPT}; see "
                      "${WORK}/${name}.{headless,window}.json")
endif()

file(GLOB_RECURSE by_headless RELATIVE ${dir}.headless ${dir}.headless/*)
file(GLOB_RECURSE by_window RELATIVE ${dir} ${dir}/*)
if(NOT by_headless STREQUAL by_window)
  message(FATAL_ERROR "the two runs left different files:\n  headless: ${by_headless}\n"
                      "  window: ${by_window}")
endif()
foreach(written ${by_window})
  file(READ ${dir}.headless/${written} headless_text)
  file(READ ${dir}/${written} window_text)
  string(REGEX REPLACE "\"saved\": \"[^\"]*\"" "\"saved\": \"\"" headless_text "${headless_text}")
  string(REGEX REPLACE "\"saved\": \"[^\"]*\"" "\"saved\": \"\"" window_text "${window_text}")
  if(NOT headless_text STREQUAL window_text)
    message(FATAL_ERROR "the two runs wrote ${written} differently; see ${dir}.headless and ${dir}")
  endif()
endforeach()
