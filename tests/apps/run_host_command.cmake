# Runs one kdp-host command and checks its exit status and output.
#   cmake -DHOST=<kdp-host> -DDATA=<data dir> -DARGS=<;-list> -DSTATUS=<expected exit> -DEXPECT=<regex> -P run_host_command.cmake
execute_process(COMMAND ${HOST} --data-dir ${DATA} ${ARGS}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL STATUS)
  message(FATAL_ERROR "kdp-host ${ARGS}: exit ${status}, expected ${STATUS}\n${out}${err}")
endif()
if(NOT "${out}${err}" MATCHES "${EXPECT}")
  message(FATAL_ERROR "kdp-host ${ARGS}: output does not match \"${EXPECT}\":\n${out}${err}")
endif()
