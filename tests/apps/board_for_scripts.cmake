# board under --format json|csv, against the board people read and the sample data:
# - `--once` after Friday's close (every run sees the same quotes): each row's raw values are the table's
#   numbers unscaled (prices to the cent; the volume in shares, which the table shows in 万 lots, the unit its
#   market line names, to two decimals), its name and previous close those of Host/Securities.csv, its trade
#   date the server's;
# - the CSV listing: one header, a record per code;
# - live, NDJSON: more than one line, each a JSON object with a code of the board, the server time and a
#   price; live CSV: the header once, then records.
#   cmake -DHOST=<kdp-host> -DDATA=<data dir> -P board_for_scripts.cmake
cmake_policy(VERSION 3.20)
find_program(JQ jq REQUIRED)
set(after_close --server-time "2026-12-04 15:10:00")
set(codes 600000.SH 000001.SZ)

function(run out)
  execute_process(COMMAND ${HOST} --data-dir ${DATA} ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE text
                  ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "kdp-host ${ARGN}: exit ${status}\n${text}${err}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# jq's text for `filter` on `json`.
function(jq out json filter)
  file(WRITE ${DATA}/board.json "${json}")
  execute_process(COMMAND ${JQ} -r "${filter}" ${DATA}/board.json RESULT_VARIABLE status OUTPUT_VARIABLE text
                  ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "jq '${filter}' does not read:\n${json}\n${err}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(expect_equal what got expected)
  if(NOT "${got}" STREQUAL "${expected}")
    message(FATAL_ERROR "${what}: got \"${got}\", expected \"${expected}\"")
  endif()
endfunction()

# "10.50" as 1050, "-0.05" as -5, "1.16%" as 116, "123.46万" as 12346: the table's digits without the point.
function(hundredths out text)
  string(REGEX REPLACE "[%万+]" "" text "${text}")
  string(REPLACE "." "" text "${text}")
  math(EXPR value "${text}")
  set(${out} ${value} PARENT_SCOPE)
endfunction()

# ---- --once: the same values as the table ----
run(table ${after_close} board --once ${codes})
if(NOT table MATCHES "\nSSE +[^\n]*成交量单位：手\nSZSE +[^\n]*成交量单位：手\n")
  message(FATAL_ERROR "the table's volumes are not in lots:\n${table}")
endif()
run(json ${after_close} --format json board --once ${codes})
jq(rows "${json}"
   ".[] | [.code, .name, (.last * 100 | round), (.change * 100 | round), (.change_ratio * 10000 | round), (.volume / 10000 | round), .prev_close, .trade_date, .last_trade_time, .time] | @tsv")
string(REGEX MATCHALL "[^\n]+" rows "${rows}")
list(LENGTH rows count)
expect_equal("rows of the JSON listing" ${count} 2)
file(READ ${CMAKE_CURRENT_LIST_DIR}/../../sample/etc/Host/Securities.csv securities)
foreach(row IN LISTS rows)
  string(REPLACE "\t" ";" cells "${row}")
  list(GET cells 0 code)
  list(GET cells 1 name)
  list(GET cells 2 last)
  list(GET cells 3 change)
  list(GET cells 4 ratio)
  list(GET cells 5 volume)
  list(GET cells 6 prev_close)
  list(GET cells 7 trade_date)
  list(GET cells 8 trade_time)
  list(GET cells 9 time)
  # The sample master's name and last close.
  if(NOT securities MATCHES "\n${code},([^,]+),[^,]*,[^,]*,[^,]*,[^,]*,[^,]*,[^,]*,[^,]*,([^,]+),")
    message(FATAL_ERROR "${code} is not in Host/Securities.csv")
  endif()
  expect_equal("${code} name" "${name}" "${CMAKE_MATCH_1}")
  expect_equal("${code} prev_close" "${prev_close}" "${CMAKE_MATCH_2}")
  expect_equal("${code} trade_date" "${trade_date}" "2026-12-04")
  if(NOT time MATCHES "^2026-12-04T15:1[0-9]:[0-5][0-9][+]08:00$")
    message(FATAL_ERROR "${code} time is not the server's: ${time}")
  endif()
  # The table's row: code, name, last, change, change %, volume, time.
  if(NOT table MATCHES "\n${code} +[^ ]+ +([0-9.]+) +([-+]?[0-9.]+) +([-+]?[0-9.]+%) +([0-9.]+万) +([0-9:]+) *\n")
    message(FATAL_ERROR "no row of ${code} in the table:\n${table}")
  endif()
  set(table_time ${CMAKE_MATCH_5})
  hundredths(table_last ${CMAKE_MATCH_1})
  hundredths(table_change ${CMAKE_MATCH_2})
  hundredths(table_ratio ${CMAKE_MATCH_3})
  hundredths(table_volume ${CMAKE_MATCH_4})
  expect_equal("${code} last (cents)" ${last} ${table_last})
  expect_equal("${code} change (cents)" ${change} ${table_change})
  expect_equal("${code} change_ratio (hundredths of a percent)" ${ratio} ${table_ratio})
  expect_equal("${code} volume (hundreds of 万 lots)" ${volume} ${table_volume})
  expect_equal("${code} last_trade_time" ${trade_time} ${table_time})
endforeach()

# ---- --once as CSV: the header, then a record per code with its name ----
run(csv ${after_close} --format csv board --once ${codes})
# (execute_process turns the records' CR LF into LF.)
if(NOT csv MATCHES "^code,name,time,trade_date,last_trade_time,last,prev_close,change,change_ratio,volume\n600000[.]SH,浦发银行,2026-12-04T[^\n]*\n000001[.]SZ,平安银行,[^\n]*\n$")
  message(FATAL_ERROR "CSV listing:\n${csv}")
endif()

# ---- live: NDJSON, a line per security and update ----
run(stream --server-time "2026-12-04 10:30:00" --format json board --seconds 3 ${codes})
string(REGEX MATCHALL "[^\n]+" lines "${stream}")
list(LENGTH lines count)
if(count LESS 2)
  message(FATAL_ERROR "expected more than one NDJSON line in 3 seconds:\n${stream}")
endif()
foreach(line IN LISTS lines)
  # Each line alone is a document.
  jq(fields "${line}" "[.code, .time, (.last | type)] | @tsv")
  if(NOT fields MATCHES "^(600000[.]SH|000001[.]SZ)\t2026-12-04T10:3[0-9]:[0-5][0-9][+]08:00\tnumber\n$")
    message(FATAL_ERROR "NDJSON line without its code, time or price: ${line}")
  endif()
endforeach()

# ---- live CSV: the header once, then records ----
run(stream --server-time "2026-12-04 10:30:00" --format csv board --seconds 2 600000.SH)
string(REGEX MATCHALL "[^\n]+" lines "${stream}")
list(GET lines 0 header)
expect_equal("CSV header" "${header}" "code,name,time,trade_date,last_trade_time,last,prev_close,change,change_ratio,volume")
list(REMOVE_AT lines 0)
list(LENGTH lines count)
if(count LESS 1)
  message(FATAL_ERROR "no CSV record after the header:\n${stream}")
endif()
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^600000[.]SH,浦发银行,2026-12-04T10:3")
    message(FATAL_ERROR "not a record of 600000.SH: ${line}")
  endif()
endforeach()
