# Records a live board session with kdp-host, its connection dropped for a second, and replays it.
#   cmake -DHOST=<kdp-host> -DDATA=<data dir> -DCODES=<;-list> -P record_and_replay.cmake
# The board a replay shows at the recording's end is, line for line, the last frame the live board
# printed; a replay plays the recorded drop and cannot be given one of its own; a copy of the recording
# cut short replays what it holds and says where it stopped.
set(recording "${DATA}/session.kdpr")
file(REMOVE_RECURSE "${DATA}")
file(MAKE_DIRECTORY "${DATA}")

function(run_host out err)
  execute_process(COMMAND ${HOST} --data-dir ${DATA} ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE stdout
                  ERROR_VARIABLE stderr)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "kdp-host ${ARGN}: exit ${status}\n${stdout}${stderr}")
  endif()
  set(${out} "${stdout}" PARENT_SCOPE)
  set(${err} "${stderr}" PARENT_SCOPE)
endfunction()

run_host(live live_err --server-time "2026-12-04 10:30:00" record ${recording} --seconds 3 --drop-after 1
         --drop-for 1 ${CODES})
if(NOT live_err MATCHES "recorded [0-9]+ records in [0-9]+ blocks to ")
  message(FATAL_ERROR "record says nothing of what it wrote:\n${live_err}")
endif()
# The server clock runs from 10:30:00 at start-up and the drop comes a second later; a slow start (a
# sanitized build on a loaded machine) moves it by seconds more.
if(NOT live MATCHES "连接已断开（10:30:(0[1-9]|[1-5][0-9]) 起）\n")
  message(FATAL_ERROR "the live board did not show the dropped connection:\n${live}")
endif()
string(FIND "${live}" "代码 " last REVERSE)
if(last LESS 0)
  message(FATAL_ERROR "the live board printed no frame:\n${live}")
endif()
string(SUBSTRING "${live}" ${last} -1 last_frame)

run_host(replayed replay_err replay ${recording} --speed 0 board --once ${CODES})
if(NOT replay_err MATCHES "replayed [0-9]+ records in [0-9]+ blocks, the whole file")
  message(FATAL_ERROR "replay does not say it played the whole file:\n${replay_err}")
endif()
# The frames agree but for the server time each was painted at.
string(REGEX REPLACE "服务器时间 [^\n]*" "" replayed "${replayed}")
string(REGEX REPLACE "服务器时间 [^\n]*" "" last_frame "${last_frame}")
if(NOT replayed STREQUAL last_frame)
  message(FATAL_ERROR "the replayed board:\n${replayed}\nis not the live board's last frame:\n${last_frame}")
endif()

execute_process(COMMAND ${HOST} --data-dir ${DATA} replay ${recording} board --drop-after 1 --drop-for 1 ${CODES}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(status EQUAL 0 OR NOT err MATCHES "--drop-after needs the simulated quote engine")
  message(FATAL_ERROR "a replay took a drop of its own (exit ${status}):\n${out}${err}")
endif()

file(SIZE "${recording}" size)
math(EXPR cut "${size} - 7")
execute_process(COMMAND head -c ${cut} ${recording} OUTPUT_FILE "${DATA}/cut.kdpr" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot cut the recording")
endif()
execute_process(COMMAND ${HOST} --data-dir ${DATA} replay "${DATA}/cut.kdpr" --speed 0 board --once ${CODES}
                RESULT_VARIABLE cut_status OUTPUT_VARIABLE cut_out ERROR_VARIABLE cut_err)
if(NOT cut_status EQUAL 2 OR NOT cut_out MATCHES "代码 ")
  message(FATAL_ERROR "the replay of a cut recording: exit ${cut_status} (a damaged file is 2), after a board:\n${cut_out}${cut_err}")
endif()
if(NOT cut_err MATCHES "cut short: replay stopped at byte [0-9]+ of ${cut} after [0-9]+ records: block [0-9]+ at byte [0-9]+ is cut short")
  message(FATAL_ERROR "the replay of a cut recording does not say where it stopped:\n${cut_out}${cut_err}")
endif()

# Codes the recording lacks: the real reason comes before anything the board says of it.
execute_process(COMMAND ${HOST} --data-dir ${DATA} replay ${recording} --speed 0 board --once 601398.SH
                OUTPUT_VARIABLE lacking_out ERROR_VARIABLE lacking_err)
string(FIND "${lacking_err}" "kdp-host: nothing in the recording was asked for" reason)
string(FIND "${lacking_err}" "kdp-host:" first)
if(reason LESS 0 OR NOT reason EQUAL first)
  message(FATAL_ERROR "a replay of codes the recording lacks does not say so first:\n${lacking_err}")
endif()
