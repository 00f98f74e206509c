# cmake -DGUI=aphcalc -DSCRIPT=bad.json -DREASON=regex -P expect_refusal.cmake
execute_process(COMMAND ${GUI} --replay ${SCRIPT}
                OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
if(NOT status EQUAL 2)
  message(FATAL_ERROR "expected exit code 2, got ${status}")
endif()
if(NOT out STREQUAL "")
  message(FATAL_ERROR "expected nothing on stdout, got:\n${out}")
endif()
if(NOT err MATCHES "${REASON}")
  message(FATAL_ERROR "expected the reason on stderr, got:\n${err}")
endif()
