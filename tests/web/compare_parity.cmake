# cmake -DNATIVE=aph_parity -DNODE=node -DWEB=aph_parity.js -DCOUNT=n -P compare_parity.cmake
# The same random design sessions, and log and pow over random arguments, natively and in
# WebAssembly: every line must agree.
foreach(run "${COUNT}" "--math;${COUNT}0")
  execute_process(COMMAND ${NATIVE} ${run} OUTPUT_VARIABLE native RESULT_VARIABLE native_status)
  execute_process(COMMAND ${NODE} ${WEB} ${run} OUTPUT_VARIABLE web RESULT_VARIABLE web_status)
  if(NOT native_status EQUAL 0 OR NOT web_status EQUAL 0)
    message(FATAL_ERROR "aph_parity ${run} failed (native ${native_status}, web ${web_status})")
  endif()
  if(NOT native STREQUAL web)
    string(REPLACE "\n" ";" native_lines "${native}")
    string(REPLACE "\n" ";" web_lines "${web}")
    foreach(line ${native_lines})
      list(FIND web_lines "${line}" found)
      if(found EQUAL -1)
        message(FATAL_ERROR "native and WebAssembly differ: native \"${line}\"; replay it with "
                            "aph_parity --script N and compare aph_parity --window N")
      endif()
    endforeach()
    message(FATAL_ERROR "native and WebAssembly differ")
  endif()
endforeach()
