# kdp-host on damaged, locked, hostile or shared files a user keeps: nothing kept is lost, every failure is
# said and ends with a non-zero exit, and nothing hangs.
#   cmake -DHOST=<kdp-host> -DDATA=<data dir> -DETC=<configuration root> -DCASE=<name> -P run_damaged_files.cmake
# A failed earlier run of cache_unwritable may have left the cache immutable.
execute_process(COMMAND chattr -i ${DATA}/users/10000001/KDPCache.db OUTPUT_QUIET ERROR_QUIET)
file(REMOVE_RECURSE ${DATA})
file(MAKE_DIRECTORY ${DATA})
set(user ${DATA}/users/10000001)
set(reminders ${user}/ConditionRemind.xml)
set(time "2026-12-04 10:30:00")

# Runs kdp-host with ARGN into `out` and `status` of the caller.
macro(host)
  execute_process(COMMAND ${HOST} --data-dir ${DATA} --server-time ${time} ${ARGN} TIMEOUT 60
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
endmacro()
function(expect what regex)
  if(NOT "${out}" MATCHES "${regex}")
    message(FATAL_ERROR "${what}: the output does not match \"${regex}\" (exit ${status}):\n${out}")
  endif()
endfunction()
function(expect_status what want)
  if(NOT status STREQUAL "${want}")
    message(FATAL_ERROR "${what}: exit ${status}, expected ${want}:\n${out}")
  endif()
endfunction()
# A copy of the configuration root in ${DATA}/etc.
function(copy_etc)
  file(COPY "${ETC}/" DESTINATION "${DATA}/etc")
endfunction()

if(CASE STREQUAL "reminder_writers")
  # Eight adds at once, each a process of its own: all eight kept, numbered 1 to 8.
  set(script "")
  foreach(i RANGE 1 8)
    string(APPEND script "'${HOST}' --data-dir '${DATA}' alert add range 600000.SH Range=${i} >/dev/null 2>&1 &\n")
  endforeach()
  execute_process(COMMAND sh -c "${script}wait" TIMEOUT 120)
  host(alert list)
  expect_status("alert list after eight adds" 0)
  foreach(i RANGE 1 8)
    expect("alert list after eight adds" "\n${i} +[^\n]*600000.SH")
  endforeach()
  # A watch that fires nothing writes nothing: a reminder added while it runs stays.
  execute_process(COMMAND sh -c "
      '${HOST}' --data-dir '${DATA}' alert watch --seconds 4 >'${DATA}/watch.out' 2>&1 &
      until grep -q '监控 ' '${DATA}/watch.out'; do sleep 0.1; done
      '${HOST}' --data-dir '${DATA}' alert add range 000001.SZ Range=9 && wait" TIMEOUT 120
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  expect_status("alert add during a watch" 0)
  host(alert list)
  expect("alert list after a watch" "\n9 +[^\n]*000001.SZ")

elseif(CASE STREQUAL "reminders_unwritable")
  # The user's folder cannot hold files (it is a file itself): the add is an error, not "已添加" (added).
  file(MAKE_DIRECTORY ${DATA}/users)
  file(WRITE ${user} "")
  host(alert add range 600000.SH Range=3)
  if(status EQUAL 0 OR out MATCHES "已添加")
    message(FATAL_ERROR "an add that could not be saved: exit ${status}\n${out}")
  endif()
  expect("an add that could not be saved" "reminders not saved: cannot lock ")

elseif(CASE STREQUAL "reminders_read_only_command")
  # Reading a damaged file reports it once and changes nothing; the next write keeps it aside.
  file(MAKE_DIRECTORY ${user})
  file(WRITE ${reminders} "<ConditionReminds><Remind")
  host(alert list)
  expect_status("alert list of a damaged file" 2)
  expect("alert list of a damaged file" "kdp-host: [^\n]*ConditionRemind.xml does not read \\(")
  if(out MATCHES "does not read.*does not read" OR out MATCHES "uKrConditionsRemind")
    message(FATAL_ERROR "alert list reported the damage more than once, or with an internal prefix:\n${out}")
  endif()
  file(READ ${reminders} kept)
  file(GLOB aside ${reminders}.corrupt-*)
  if(NOT kept STREQUAL "<ConditionReminds><Remind" OR aside)
    message(FATAL_ERROR "alert list changed the damaged file: \"${kept}\", ${aside}")
  endif()

elseif(CASE STREQUAL "watch_many_time_reminders")
  # 20,000 time reminders, each due every day at 10:30:02: the watch ends at its --seconds and on Ctrl-C.
  # (Both limits below are generous bounds for a loaded machine; a watch that hangs would never end.)
  file(MAKE_DIRECTORY ${user})
  string(REPEAT "<Remind Type=\"rtTimeArrive\" State=\"tsMonitor\" Time=\"2026-12-04 10:30:02\"/>\n" 20000 body)
  file(WRITE ${reminders} "<ConditionReminds>\n${body}</ConditionReminds>\n")
  execute_process(COMMAND ${HOST} --data-dir ${DATA} --server-time ${time} alert watch --seconds 2 TIMEOUT 30
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  expect_status("alert watch --seconds 2" 0)
  expect("alert watch --seconds 2" "监控 20000 个提醒中的 20000 个")
  # Ctrl-C once it watches: it must end within 10 s (it checks once a second), with status 0.
  execute_process(COMMAND sh -c "
      '${HOST}' --data-dir '${DATA}' --server-time '${time}' alert watch >'${DATA}/watch.out' 2>&1 &
      watch=$!
      until grep -q '监控 ' '${DATA}/watch.out'; do sleep 0.1; done
      kill -INT $watch
      for i in $(seq 100); do kill -0 $watch 2>/dev/null || break; sleep 0.1; done
      if kill -0 $watch 2>/dev/null; then kill -9 $watch; echo 'still running 10 s after SIGINT'; exit 1; fi
      wait $watch" TIMEOUT 120 RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  expect_status("alert watch stopped by SIGINT" 0)

elseif(CASE STREQUAL "cache_busy")
  # Another program holds the cache database in an exclusive transaction: the report fails soon (3 s is a
  # generous bound; the wait is a fifth of a second), naming the busy database.
  file(MAKE_DIRECTORY ${user})
  execute_process(COMMAND sh -c "
      python3 -c \"
import sqlite3, sys, time
c = sqlite3.connect(sys.argv[1], isolation_level=None)
c.execute('CREATE TABLE IF NOT EXISTS held (x)')
c.execute('BEGIN EXCLUSIVE')
open(sys.argv[2], 'w').close()
time.sleep(30)\" '${user}/KDPCache.db' '${DATA}/locked' &
      holder=$!
      until [ -e '${DATA}/locked' ]; do sleep 0.05; done
      start=$(date +%s%N)
      '${HOST}' --data-dir '${DATA}' cloud report FundNetValueHistory koraCode=510300.SH
      echo \"exit $? after $(( ($(date +%s%N) - start) / 1000000 )) ms\"
      kill $holder" TIMEOUT 90 OUTPUT_VARIABLE out ERROR_VARIABLE out)
  expect("a report on a locked cache" "cache database busy: [^\n]*KDPCache.db is locked by another program")
  if(NOT out MATCHES "exit ([0-9]+) after ([0-9]+) ms")
    message(FATAL_ERROR "the report did not run:\n${out}")
  endif()
  if(CMAKE_MATCH_1 EQUAL 0 OR CMAKE_MATCH_2 GREATER 3000)
    message(FATAL_ERROR "a report on a locked cache: exit ${CMAKE_MATCH_1} after ${CMAKE_MATCH_2} ms\n${out}")
  endif()

elseif(CASE STREQUAL "cache_unwritable")
  host(cloud report FundNetValueHistory koraCode=510300.SH)
  expect_status("a report on a sound cache" 0)
  # A cache that cannot be read (a directory where its journal goes gives an I/O error) is no damaged
  # file: it is said, and neither kept aside nor rebuilt.
  file(MAKE_DIRECTORY ${user}/KDPCache.db-journal)
  host(cloud report FundNetValueHistory koraCode=510300.SH)
  expect_status("a report on an unreadable cache" 2)
  expect("a report on an unreadable cache" "the cache database [^\n]*KDPCache.db cannot be used: [^\n]*I/O error")
  file(GLOB aside ${user}/KDPCache.db.corrupt-*)
  if(aside)
    message(FATAL_ERROR "an unreadable cache was kept aside as damaged: ${aside}")
  endif()
  file(REMOVE_RECURSE ${user}/KDPCache.db-journal)
  # A cache that reads but refuses writes (an immutable file, as on a read-only disk): the reply arrived
  # and was read, so the failure names the write, and the rows cached before stay.
  execute_process(COMMAND chattr +i ${user}/KDPCache.db RESULT_VARIABLE immutable OUTPUT_QUIET ERROR_QUIET)
  if(NOT immutable EQUAL 0)
    message("SKIP: this file system cannot make a file immutable (chattr +i), the read-only part is not run")
    return()
  endif()
  host(cloud report FundNetValueHistory koraCode=510300.SH)
  execute_process(COMMAND chattr -i ${user}/KDPCache.db)
  expect_status("a report on a read-only cache" 1)
  expect("a report on a read-only cache"
         "failed: 缓存数据库写入失败! [^\n]*readonly database[^\n]*\\(the cached table is unchanged\\)")
  if(out MATCHES "数据解析错误")
    message(FATAL_ERROR "a write failure reported as a reply that could not be read:\n${out}")
  endif()
  execute_process(COMMAND sqlite3 ${user}/KDPCache.db "SELECT count(*) FROM FundNetValueHistory" OUTPUT_VARIABLE rows)
  if(NOT rows MATCHES "^5\n")
    message(FATAL_ERROR "the rows cached before the failure: ${rows}")
  endif()

elseif(CASE STREQUAL "cache_corrupt")
  # A cache database of garbage is kept aside and rebuilt; the report answers on the same run.
  file(MAKE_DIRECTORY ${user})
  string(REPEAT "not a database " 2000 garbage)
  file(WRITE ${user}/KDPCache.db "${garbage}")
  host(cloud report FundNetValueHistory koraCode=510300.SH)
  expect_status("a report on a damaged cache" 0)
  expect("a report on a damaged cache" "FundNetValueHistory \\(FundNetValueHistory\\)：5 行")
  file(GLOB aside ${user}/KDPCache.db.corrupt-*)
  list(LENGTH aside count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected the damaged cache kept aside once, found: ${aside}")
  endif()
  file(READ ${aside} kept)
  if(NOT kept STREQUAL garbage)
    message(FATAL_ERROR "the damaged cache was not kept as it was")
  endif()
  host(cloud report FundNetValueHistory koraCode=510300.SH)
  expect_status("a second report" 0)
  file(GLOB aside ${user}/KDPCache.db.corrupt-*)
  list(LENGTH aside count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "the rebuilt cache was kept aside again: ${aside}")
  endif()
  # The report's table as another version might have left it, with other columns: made again.
  execute_process(COMMAND sqlite3 ${user}/KDPCache.db
                          "DROP TABLE FundNetValueHistory; CREATE TABLE FundNetValueHistory (CODE, VALUE)"
                  RESULT_VARIABLE status)
  expect_status("the table replaced with one of other columns" 0)
  host(cloud report FundNetValueHistory koraCode=510300.SH)
  expect_status("a report over a table of other columns" 0)
  expect("a report over a table of other columns" "FundNetValueHistory \\(FundNetValueHistory\\)：5 行")

elseif(CASE STREQUAL "record_keeps_old_file")
  # A recording that fails (an unknown code) leaves the file it would have replaced as it was.
  file(WRITE ${DATA}/keep.kdpr "an older recording")
  host(record ${DATA}/keep.kdpr --seconds 1 NOSUCH.SH)
  if(status EQUAL 0)
    message(FATAL_ERROR "a recording of an unknown code succeeded:\n${out}")
  endif()
  file(READ ${DATA}/keep.kdpr kept)
  file(GLOB left ${DATA}/keep.kdpr.*)
  if(NOT kept STREQUAL "an older recording" OR left)
    message(FATAL_ERROR "a failed recording changed keep.kdpr (\"${kept}\") or left ${left}")
  endif()

elseif(CASE STREQUAL "deep_host_json")
  # 100,000 nested arrays in host.json: refused as configuration, not a crash.
  copy_etc()
  string(REPEAT "[" 100000 open)
  string(REPEAT "]" 100000 close)
  file(WRITE ${DATA}/etc/Host/host.json "{\"userId\": ${open}${close}}")
  execute_process(COMMAND ${HOST} --etc ${DATA}/etc --data-dir ${DATA} services TIMEOUT 60
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  expect_status("a 100,000-deep host.json" 2)
  expect("a 100,000-deep host.json" "host.json: JSON nested more than 128 levels deep")

elseif(CASE STREQUAL "garbage_securities")
  # A 100 MB securities table of garbage lines: the log says so a few times and counts the rest; neither
  # the log file nor the terminal gets the 100 MB.
  copy_etc()
  string(REPEAT "x" 99 line)
  string(REPEAT "${line}\n" 10000 chunk)
  string(REPEAT "${chunk}" 100 garbage)
  file(WRITE ${DATA}/etc/Host/Securities.csv "${garbage}")
  set(garbage "")
  execute_process(COMMAND ${HOST} --etc ${DATA}/etc --data-dir ${DATA} services TIMEOUT 120
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  string(LENGTH "${out}" shown)
  file(SIZE ${DATA}/log/kdp-host.log logged)
  if(shown GREATER 100000 OR logged GREATER 10485760)
    message(FATAL_ERROR "a garbage table: ${shown} bytes shown, ${logged} bytes logged")
  endif()
  file(READ ${DATA}/log/kdp-host.log log)
  if(NOT log MATCHES "1000000 lines skipped in all; the first 20 are logged above")
    message(FATAL_ERROR "the log does not count the skipped lines:\n${out}")
  endif()

elseif(CASE STREQUAL "audit_unwritable")
  # The audit trail's file cannot be appended to (a folder stands in its place): said, and not "used".
  file(MAKE_DIRECTORY ${DATA}/log/audit.log)
  host(funcid 00700.HK KLine --audit)
  expect_status("an audit that could not be recorded" 2)
  expect("an audit that could not be recorded" "the audit trail could not record the use: cannot append to ")
  if(out MATCHES "审计：用户 [0-9]+ 在 ")
    message(FATAL_ERROR "an unrecorded use was reported as recorded:\n${out}")
  endif()

else()
  message(FATAL_ERROR "unknown case ${CASE}")
endif()
