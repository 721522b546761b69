# What a person reads follows --language; what a script reads does not. The board (its header, each
# market's line and the status line) and a ranking in the English and the traditional Chinese editions, a
# security, the world clock and a calendar in the traditional one, none of them in simplified Chinese
# words; then the JSON listings' keys, the same in all three editions.
#   cmake -DHOST=<kdp-host> -DDATA=<data dir> -P language_editions.cmake
cmake_policy(VERSION 3.20)
file(REMOVE_RECURSE ${DATA})

# Runs kdp-host under `language`; its output must match `expect` and must not match `reject`.
function(run language expect reject)
  execute_process(COMMAND ${HOST} --data-dir ${DATA} --language ${language} ${ARGN}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "kdp-host --language ${language} ${ARGN}: exit ${status}\n${out}${err}")
  endif()
  if(NOT out MATCHES "${expect}")
    message(FATAL_ERROR "kdp-host --language ${language} ${ARGN}: does not print \"${expect}\":\n${out}")
  endif()
  if(out MATCHES "${reject}")
    message(FATAL_ERROR "kdp-host --language ${language} ${ARGN}: prints \"${CMAKE_MATCH_0}\", "
                        "a simplified Chinese text:\n${out}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

# Words the simplified edition shows that neither other edition does (the sample master's security names
# are simplified in every edition, so no word of theirs is here).
set(simplified "代码|名称|涨跌|总量|时间|午间|夜盘|服务器|连接|成交量单位|周[一二三四五六日]|按字段|从高到低|证券代码|英文名称|币种|纽约|夏令时|交易日历|个交易日|个工作日")

# A Wednesday at 10:00 in Beijing is Tuesday 21:00 in New York (13 hours behind in December): Shanghai,
# Hong Kong and the Shanghai futures trade, Nasdaq opens on Wednesday at 09:30.
run(ENG "code +name +last +change +change % +volume +time *\n600000.SH +SPD Bank [^\n]*\n00700.HK +Tencent [^\n]*\nAU2702.SHF +SHFE Gold Feb27 [^\n]*\nAAPL.O +Apple Inc [^\n]*\nSSE +trading +Beijing time +volume in lots\nHKEX +trading +Hong Kong time +volume in shares\nSHFE +trading +Beijing time +volume in lots\nNASDAQ +closed until Wed 09:30 +New York time +volume in shares\nserver time 2026-12-09 10:00:[0-5][0-9] Beijing \\(UTC\\+8\\), connected\n$"
    "${simplified}|[(]手[)]|[(]股[)]"
    --server-time "2026-12-09 10:00:00" board --once 600000.SH 00700.HK AU2702.SHF AAPL.O)
# At 12:30 the exchanges break for lunch, the futures until 13:30; at 23:00 the futures trade their
# night session, Nasdaq its day (10:00 in New York), the others are closed until Thursday.
run(CHT "代碼 +名稱 +最新 +漲跌 +漲跌幅 +總量 +時間 *\n600000.SH +浦发银行 [^\n]*\n00700.HK +腾讯控股 [^\n]*\nAU2702.SHF +沪金2702 [^\n]*\nAAPL.O +苹果 [^\n]*\nSSE +午間休市至 13:00 +北京時間 +成交量單位：手\nHKEX +午間休市至 13:00 +香港時間 +成交量單位：股\nSHFE +午間休市至 13:30 +北京時間 +成交量單位：手\nNASDAQ +休市至 週三 09:30 +紐約時間 +成交量單位：股\n伺服器時間 2026-12-09 12:30:[0-5][0-9] 北京（UTC\\+8），已連線\n$"
    "${simplified}|trading|closed|lunch|server|connected"
    --server-time "2026-12-09 12:30:00" board --once 600000.SH 00700.HK AU2702.SHF AAPL.O)
run(CHT "\nSSE +休市至 週四 09:30 +北京時間 [^\n]*\nHKEX +休市至 週四 09:30 +香港時間 [^\n]*\nSHFE +夜盤 +北京時間 [^\n]*\nNASDAQ +交易中 +紐約時間 [^\n]*\n伺服器時間 2026-12-09 23:00:"
    "${simplified}|trading|closed|night"
    --server-time "2026-12-09 23:00:00" board --once 600000.SH 00700.HK AU2702.SHF AAPL.O)

# The liquor sector by volume (IND.LIQUOR of the sample's Sectors.json). In English its five members, the
# longest name "Kweichow Moutai" (15 columns) a blank short of the next column: the header and the five
# rows are each 4 + 2 + 12 (code) + 16 (name) + 14 + 12 + 12 = 72 columns wide.
run(ENG "^IND.LIQUOR by field 8 Volume \\(5 of highest\\)\n   #  code +name +Volume +last +prev\n( +[1-5]  [0-9]+\\.S[HZ] [^\n]*\n)+$"
    "${simplified}" --server-time "2026-12-04 10:30:00" rank IND.LIQUOR --sort 8 --top 5)
# The lines under the heading, without the last line end.
string(FIND "${out}" "\n" heading_end)
math(EXPR table_start "${heading_end} + 1")
string(SUBSTRING "${out}" ${table_start} -1 table)
string(REGEX REPLACE "\n$" "" table "${table}")
string(REPLACE "\n" ";" lines "${table}")
list(LENGTH lines count)
if(NOT count EQUAL 6)
  message(FATAL_ERROR "the English ranking has ${count} lines under its heading, not 6:\n${out}")
endif()
foreach(line IN LISTS lines)
  string(LENGTH "${line}" width)
  if(NOT width EQUAL 72)
    message(FATAL_ERROR "the English ranking's line \"${line}\" is ${width} columns wide, not 72:\n${out}")
  endif()
endforeach()
run(CHT "^IND.LIQUOR 按欄位 8 Volume 排名（前 3 名，從高到低）\n   #  代碼 +名稱 +Volume +最新 +昨收\n +1  [0-9]+\\.S[HZ] "
    "${simplified}" --server-time "2026-12-04 10:30:00" rank IND.LIQUOR --sort 8 --top 3)

# 600000.SH as the sample's Securities.csv lists it.
run(CHT "^代碼 +600000.SH\n證券代碼 +600000\n名稱 +浦发银行\n全稱 +浦发银行股份有限公司\n英文名稱 +SPD Bank\n證券類型 +A\n交易所 +SH\n.*幣別 +CNY\n上市日期 +1999-11-10\n$"
    "${simplified}" security 600000.SH)

# 09:30 in New York on 1 July (daylight time, UTC-4) is 21:30 in Beijing.
run(CHT "^紐約 2026-07-01 09:30:00（UTC-4，夏令時）\n\n本機 .*\n北京 +UTC\\+8 +2026-07-01 21:30:00"
    "${simplified}" clock "New York" "2026-07-01 09:30")

# The golden week: 1 to 7 October 2026 are five weekdays without trading.
run(CHT "^600000.SH 的交易日曆：顯示 2 個交易日\n2026-10-08  週四   （2026-10-01 至 2026-10-07 共 5 個工作日休市）\n2026-10-09  週五\n$"
    "${simplified}" --server-time "2026-10-12 10:00:00" calendar 600000.SH --from 2026-10-08 --to 2026-10-09)

# JSON is for scripts: its keys are the same in every edition, and these.
function(json_keys language out_var)
  execute_process(COMMAND ${HOST} --data-dir ${DATA} --language ${language} --format json ${ARGN}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "kdp-host --language ${language} --format json ${ARGN}: exit ${status}\n${out}${err}")
  endif()
  string(JSON first ERROR_VARIABLE error GET "${out}" 0)
  if(error)
    message(FATAL_ERROR "kdp-host --language ${language} --format json ${ARGN}: ${error}\n${out}")
  endif()
  string(JSON count LENGTH "${first}")
  set(keys "")
  math(EXPR last "${count} - 1")
  foreach(i RANGE ${last})
    string(JSON key MEMBER "${first}" ${i})
    list(APPEND keys "${key}")
  endforeach()
  list(SORT keys)
  set(${out_var} "${keys}" PARENT_SCOPE)
endfunction()

function(same_keys expected)
  set(wanted ${expected})
  list(SORT wanted)
  foreach(language CHS CHT ENG)
    json_keys(${language} keys ${ARGN})
    if(NOT keys STREQUAL wanted)
      message(FATAL_ERROR "kdp-host --language ${language} --format json ${ARGN}: keys ${keys}, expected ${wanted}")
    endif()
  endforeach()
endfunction()

same_keys("sector;field;rank;code;name;value;last;prev" --server-time "2026-12-04 10:30:00" rank IND.LIQUOR --sort 8 --top 3)
same_keys("code;stock_code;name;full_name;en_name;stock_type;exchange;category;list_status;trade_span;price_step;currency;ipo_date"
          security 600000.SH)
same_keys("code;name;hq_type;hq_type_id;stock_type;suffix;sessions;clearing_time;city;f5_page;history_dir" resolve AU2702.SHF)
same_keys("number;channel;published_as" services)
same_keys("code;name;en_name;stock_type;initials" search 600000)
same_keys("code;3;8" export 600000.SH --fields 3,8)
