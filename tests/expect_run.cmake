# cmake "-DCOMMAND=program;arg;…" -DSTATUS=0 [-DSTDERR=regex] -P expect_run.cmake
# Runs COMMAND in a session without a runtime folder (XDG_RUNTIME_DIR unset) and on the offscreen
# platform. It must end with exit code STATUS. Without STDERR it must say nothing on stderr; with
# it, stderr must match STDERR and hold no toolkit warning (a line of Qt's own, such as
# "QPainter::begin(): …" or "QStandardPaths: …").
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=XDG_RUNTIME_DIR QT_QPA_PLATFORM=offscreen
                        ${COMMAND}
                OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
if(NOT status STREQUAL "${STATUS}")
  message(FATAL_ERROR "expected exit code ${STATUS}, got ${status}; stderr:\n${err}")
endif()
if(NOT DEFINED STDERR)
  if(NOT err STREQUAL "")
    message(FATAL_ERROR "expected nothing on stderr, got:\n${err}")
  endif()
  return()
endif()
if(NOT err MATCHES "${STDERR}")
  message(FATAL_ERROR "expected stderr to match \"${STDERR}\", got:\n${err}")
endif()
if(err MATCHES "(^|\n)(Q[A-Za-z]+::|This plugin)")
  message(FATAL_ERROR "a toolkit warning on stderr:\n${err}")
endif()
