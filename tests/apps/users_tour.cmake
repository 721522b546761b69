# The README's examples in the order it gives them, as a new user would try them: each must still be in the
# README, exit 0 and print what the README says it prints. A live board or a following news column gets
# the option that ends it; the recording examples have a test of their own (record_and_replay.cmake).
#   cmake -DHOST=<kdp-host> -DDATA=<data dir> -DREADME=<README.md> -P users_tour.cmake
cmake_policy(VERSION 3.20)
file(REMOVE_RECURSE ${DATA})
file(READ ${README} readme)

# `text` as the README writes it, `expect` what its words say it prints, then the options that end it.
function(example text expect)
  string(FIND "${readme}" "`${text}`" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the README no longer shows `${text}`")
  endif()
  separate_arguments(words UNIX_COMMAND "${text}")
  execute_process(COMMAND ${HOST} --data-dir ${DATA} --server-time "2026-12-04 10:30:00" ${words} ${ARGN}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "`${text}`: exit ${status}\n${out}${err}")
  endif()
  if(NOT "${out}${err}" MATCHES "${expect}")
    message(FATAL_ERROR "`${text}` does not print \"${expect}\":\n${out}${err}")
  endif()
endfunction()

# a board with a column per field, headed by the field's name
example("board 600000.SH 00700.HK --fields 10001,10005" "MainNetInflow +FundInfo10005 *\n600000.SH +浦发银行 .*\n00700.HK +腾讯控股 " --once)
example("rank IND.BANK --sort 81" "IND.BANK 按字段 81 ChangeRatio 排名（前 10 名，从高到低）")
example("export 600000.SH 00700.HK --fields 3,4,8" "代码 +NewPrice +PreClose[^\n]*\n600000.SH [^\n]*\n00700.HK ")
example("alert add price 600000.SH CustomPrice=10.5" "已添加 #1 价格到达 600000.SH: 最新价上涨到10.50")
example("alert add loss 000001.SZ LossPrice=10" "已添加 #2 止损 000001.SZ")
example("alert add range 00700.HK Range=3 MonitorRangeType=rtRangeBlow" "已添加 #3 .* 00700.HK: 涨跌幅低于-3%")
example("alert add time Time=14:55" "已添加 #4 时间到达")
example("news F10_ANNOUNCEMENT --code 600000.SH" "浦发银行关于召开2026年第二次临时股东大会的通知")
example("news NEWS_STOCK --code 600000.SH" "第 1 页（[0-9]+ 条）\n2026-12-04 [0-9:]+  浦发银行")
example("news NEWS_LIVE --follow" "-- 正在跟踪 NEWS_LIVE" --seconds 1)
example("qvb search GDP" "个指标，共 [0-9]+ 个\n  1000545 ")
example("qvb series 1000545 --last 4" "4 个观测值\n")
example("cloud report FundNetValueHistory koraCode=510300.SH" "：5 行\n.*510300.SH +2026-11-30 ")
example("cloud report BondIssuePlan" "BondIssuePlan \\(BondIssuePlan\\)：[1-9][0-9]* 行")
example("cloud report ETFPurchaseList KoraCode=510300.SH" "ETFPurchaseList\\)：5 行\n[^\n]*\n510300.SH ")
example("cloud report CompanyNotice koraCode=600036.SH" "CompanyNotice\\)：[1-9][0-9]* 行\n[^\n]*\n600036.SH ")
example("cloud report HighDividendSector" "HighDividendSector\\)：5 行")
