# Runs one kdp-host command and checks its exit status and output.
#   cmake -DHOST=<kdp-host> -DDATA=<data dir> -DARGS=<;-list> -DSTATUS=<expected exit, or NONZERO>
#         -DEXPECT=<regex>
#         [-DREJECT=<regex the output must not match>] [-DETC=<configuration root> -DWITHOUT=<file in it>
#         [-DTEXT=<what the file holds instead>]] -P run_host_command.cmake
# With WITHOUT, the command runs on a copy of ETC that lacks that file, or has TEXT in it. The data
# directory starts empty: nothing an earlier run or another test left there is seen.
file(REMOVE_RECURSE "${DATA}")
set(args ${ARGS})
if(DEFINED WITHOUT)
  set(copy "${DATA}/etc-without")
  file(REMOVE_RECURSE "${copy}")
  file(COPY "${ETC}/" DESTINATION "${copy}")
  file(REMOVE "${copy}/${WITHOUT}")
  if(DEFINED TEXT)
    file(WRITE "${copy}/${WITHOUT}" "${TEXT}")
  endif()
  list(PREPEND args --etc "${copy}")
endif()
execute_process(COMMAND ${HOST} --data-dir ${DATA} ${args}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(STATUS STREQUAL "NONZERO")
  if(status EQUAL 0)
    message(FATAL_ERROR "kdp-host ${args}: exit 0, expected a failure\n${out}${err}")
  endif()
elseif(NOT status EQUAL STATUS)
  message(FATAL_ERROR "kdp-host ${args}: exit ${status}, expected ${STATUS}\n${out}${err}")
endif()
if(NOT "${out}${err}" MATCHES "${EXPECT}")
  message(FATAL_ERROR "kdp-host ${args}: output does not match \"${EXPECT}\":\n${out}${err}")
endif()
if(DEFINED REJECT AND "${out}${err}" MATCHES "${REJECT}")
  message(FATAL_ERROR "kdp-host ${args}: output matches \"${REJECT}\", which it must not:\n${out}${err}")
endif()
