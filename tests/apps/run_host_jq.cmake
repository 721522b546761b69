# Runs one kdp-host command with JSON output through jq and compares jq's text with the expected one.
#   cmake -DHOST=<kdp-host> -DDATA=<data dir> -DARGS=<;-list> -DFILTER=<jq filter> -DEXPECT=<text>
#         -P run_host_jq.cmake
find_program(JQ jq REQUIRED)
file(REMOVE_RECURSE "${DATA}")  # an empty data directory, as for every command test
execute_process(COMMAND ${HOST} --data-dir ${DATA} --format json ${ARGS} COMMAND ${JQ} -r "${FILTER}"
                RESULTS_VARIABLE statuses OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT statuses STREQUAL "0;0")
  message(FATAL_ERROR "kdp-host --format json ${ARGS} | jq: exit ${statuses}\n${out}${err}")
endif()
if(NOT out STREQUAL EXPECT)
  message(FATAL_ERROR "kdp-host --format json ${ARGS} | jq '${FILTER}':\n${out}\nexpected:\n${EXPECT}")
endif()
