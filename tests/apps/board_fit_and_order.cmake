# The board fitted to a terminal's width, and a sorted, topped board against the whole one:
# - COLUMNS=80 (what a terminal of 80 columns gives the board): no line wider than 80 terminal columns,
#   measured by wc -L in a UTF-8 locale (a CJK character takes two); the columns kept from the left, the
#   time and the --fields column dropped; every row still there. Without COLUMNS the same board is wider;
# - --sector SH_A --sort ChangeRatio --top 20 after Friday's close (every run sees the same quotes): the
#   first 20 of the whole sector as jq sorts it by change_ratio, highest first (ties in the sector's order).
#   cmake -DHOST=<kdp-host> -DDATA=<data dir> -P board_fit_and_order.cmake
cmake_policy(VERSION 3.20)
find_program(JQ jq REQUIRED)
find_program(WC wc REQUIRED)
set(board --server-time "2026-12-09 10:00:00" board --once 600000.SH 00700.HK AU2702.SHF AAPL.O --fields 10005)

# The widest line of the board's output with COLUMNS=`columns` ("" for unset), and the output.
function(widest out text_out columns)
  if(columns STREQUAL "")
    set(env --unset=COLUMNS)
  else()
    set(env COLUMNS=${columns})
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E env ${env} ${HOST} --data-dir ${DATA} ${ARGN}
                  RESULT_VARIABLE status OUTPUT_VARIABLE text ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "kdp-host ${ARGN}: exit ${status}\n${text}${err}")
  endif()
  file(WRITE ${DATA}/board.txt "${text}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 ${WC} -L ${DATA}/board.txt
                  OUTPUT_VARIABLE width OUTPUT_STRIP_TRAILING_WHITESPACE)
  string(REGEX MATCH "^[0-9]+" width "${width}")
  set(${out} ${width} PARENT_SCOPE)
  set(${text_out} "${text}" PARENT_SCOPE)
endfunction()

widest(natural text "" ${board})
if(natural LESS_EQUAL 80)
  message(FATAL_ERROR "the board without COLUMNS should be wider than 80 columns, is ${natural}:\n${text}")
endif()
widest(fitted text 80 ${board})
if(fitted GREATER 80)
  message(FATAL_ERROR "a line of the 80-column board takes ${fitted} columns:\n${text}")
endif()
if(NOT text MATCHES "^代码 +名称 +最新 +涨跌 +涨跌幅 +总量 *\n" OR text MATCHES "时间 +FundInfo10005")
  message(FATAL_ERROR "the 80-column board should keep the columns up to the volume, no more:\n${text}")
endif()
foreach(code 600000.SH 00700.HK AU2702.SHF AAPL.O)
  if(NOT text MATCHES "\n${code} ")
    message(FATAL_ERROR "the 80-column board lost the row of ${code}:\n${text}")
  endif()
endforeach()
# English names are longer: a 40-column board keeps the code and the name, cut to fit.
widest(narrow text 40 --language ENG ${board})
if(narrow GREATER 40 OR NOT text MATCHES "\nAU2702.SHF +SHFE Gold")
  message(FATAL_ERROR "the 40-column English board:\n${text}")
endif()

# ---- sorted and topped, against the whole sector sorted by jq ----
function(codes out filter)
  execute_process(COMMAND ${HOST} --data-dir ${DATA} --format json --server-time "2026-12-04 15:10:00" ${ARGN}
                  COMMAND ${JQ} -r "${filter}" RESULTS_VARIABLE statuses OUTPUT_VARIABLE text ERROR_VARIABLE err)
  if(NOT statuses STREQUAL "0;0")
    message(FATAL_ERROR "kdp-host ${ARGN} | jq: exit ${statuses}\n${text}${err}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()
codes(whole "if length == 70 and all(.[]; .change_ratio != null) then sort_by(-.change_ratio) | .[0:20] | map(.code) | join(\" \") else \"incomplete: \\(length)\" end"
      board --once --sector SH_A)
codes(topped "map(.code) | join(\" \")" board --once --sector SH_A --sort ChangeRatio --top 20)
if(NOT topped STREQUAL whole)
  message(FATAL_ERROR "board --sector SH_A --sort ChangeRatio --top 20:\n${topped}expected the first 20 of the sector:\n${whole}")
endif()
