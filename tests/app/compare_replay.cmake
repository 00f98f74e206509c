# cmake -DGUI=aphcalc -DCLI=aphcalc-cli -DSCRIPT=script.json -P compare_replay.cmake
# Replays SCRIPT through the window and through the headless program; the outputs must match.
execute_process(COMMAND ${CLI} replay ${SCRIPT}
                OUTPUT_VARIABLE headless RESULT_VARIABLE headless_status)
execute_process(COMMAND ${GUI} --replay ${SCRIPT}
                OUTPUT_VARIABLE window RESULT_VARIABLE window_status
                ERROR_VARIABLE window_errors)
if(NOT headless_status EQUAL 0)
  message(FATAL_ERROR "aphcalc-cli failed (${headless_status}) on ${SCRIPT}")
endif()
if(NOT window_status EQUAL 0)
  message(FATAL_ERROR "aphcalc --replay failed (${window_status}) on ${SCRIPT}:\n${window_errors}")
endif()
if(NOT headless STREQUAL window)
  get_filename_component(name ${SCRIPT} NAME_WE)
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/${name}.headless.json "${headless}")
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/${name}.window.json "${window}")
  message(FATAL_ERROR "the window and the headless program differ on ${SCRIPT}; see "
                      "${CMAKE_CURRENT_BINARY_DIR}/${name}.{headless,window}.json")
endif()
