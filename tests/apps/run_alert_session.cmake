# kdp-host alert on a fresh data directory, as a user would use it: add reminders, watch them fire on the
# live simulated market, list what was kept, and find a corrupt reminder file kept aside.
#   cmake -DHOST=<kdp-host> -DDATA=<data dir> -P run_alert_session.cmake
file(REMOVE_RECURSE ${DATA})
set(file ${DATA}/users/10000001/ConditionRemind.xml)

# Runs kdp-host with ARGN; the exit status must be `status`, the output must match `expect` and must not
# match `refuse` (unless that is empty).
function(run status expect refuse)
  execute_process(COMMAND ${HOST} --data-dir ${DATA} --server-time "2026-12-04 10:30:00" ${ARGN}
                  RESULT_VARIABLE got OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT got EQUAL status)
    message(FATAL_ERROR "kdp-host ${ARGN}: exit ${got}, expected ${status}\n${out}${err}")
  endif()
  if(NOT "${out}${err}" MATCHES "${expect}")
    message(FATAL_ERROR "kdp-host ${ARGN}: output does not match \"${expect}\":\n${out}${err}")
  endif()
  if(NOT refuse STREQUAL "" AND "${out}${err}" MATCHES "${refuse}")
    message(FATAL_ERROR "kdp-host ${ARGN}: output matches \"${refuse}\":\n${out}${err}")
  endif()
endfunction()

run(0 "ConditionRemind.xml 中没有提醒" "" alert list)
run(0 "已添加 #1 价格到达 600000.SH: 最新价上涨到1.00" "" alert add price 600000.SH CustomPrice=1)
run(0 "已添加 #2 价格到达 600000.SH: 最新价上涨到1000.00" "" alert add price 600000.SH CustomPrice=1000 --once)
run(0 "已添加 #3 时间到达: 时间到达10:30:01" "" alert add time Time=10:30:01)
run(1 "unknown security code NOSUCH.SH" "" alert add price NOSUCH.SH CustomPrice=1)
run(1 "has no setting Price; its settings are:.* CustomPrice" "" alert add price 600000.SH Price=1)
# The first snapshot is above 1.00; 1000.00 is never reached. (Whether the time comes inside the watch
# depends on how long the host takes to start; the unit tests pin the time reminder down.)
run(0 "监控 3 个提醒中的 3 个.*2026-12-04 10:[23][0-9]:[0-9][0-9]  #1 价格到达 600000.SH: 最新价上涨到1.00  最新 [0-9]+\\.[0-9][0-9]"
    "#2 价格到达" alert watch --seconds 3)
run(0 "#    类型        代码        状态     频率       条件 +最近触发\n1    价格到达    600000.SH   监控中   每次       最新价上涨到1.00 +2026-12-04 10:[23][0-9]:[0-9][0-9]\n2 .* -\n" ""
    alert list)
# For scripts (--json is --format json): the reminders added above, their prices as numbers, the time one
# without a code, the last trade date of the one that fired (the time one may fire too, so it is not asked).
find_program(JQ jq REQUIRED)
foreach(json_option "--json" "")
  if(json_option STREQUAL "")
    set(command --format json alert list)
  else()
    set(command alert list --json)
  endif()
  execute_process(COMMAND ${HOST} --data-dir ${DATA} --server-time "2026-12-04 10:30:00" ${command}
                  COMMAND ${JQ} -r "(.[] | [.id, .code, .type, .custom_price, .frequency] | @csv), (.[0].last_trade_date | .[0:13]), .[1].last_trade_date"
                  RESULTS_VARIABLE statuses OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(expected "\"1\",\"600000.SH\",\"rtPriceArrive\",1,\"tfManyVeryDay\"\n\"2\",\"600000.SH\",\"rtPriceArrive\",1000,\"tfOnceVeryDay\"\n\"3\",,\"rtTimeArrive\",,\"tfManyVeryDay\"\n2026-12-04T10\nnull\n")
  if(NOT statuses STREQUAL "0;0" OR NOT out STREQUAL expected)
    message(FATAL_ERROR "kdp-host ${command} | jq: exit ${statuses}\n${out}${err}\nexpected:\n${expected}")
  endif()
endforeach()
run(0 "已删除 #2 " "" alert remove 2)
run(1 "no reminder #2" "" alert remove 2)

file(WRITE ${file} "<ConditionReminds><Remind")
# Reading says so and leaves the file; the next add keeps it aside under the server time of the writing (a
# slow start moves it past 10:30:00).
run(2 "does not read" "kept aside as" alert list)
run(0 "已添加 #1 .*kept aside as .*ConditionRemind.xml.corrupt-202612041030[0-9][0-9]; starting with no reminders" ""
    alert add range 000001.SZ Range=3)
file(GLOB kept_aside ${file}.corrupt-*)
list(LENGTH kept_aside count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one corrupt file kept aside, found: ${kept_aside}")
endif()
file(READ ${kept_aside} kept)
if(NOT kept STREQUAL "<ConditionReminds><Remind")
  message(FATAL_ERROR "the corrupt file was not kept as it was: ${kept}")
endif()
