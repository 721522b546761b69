# Runs `kdp-host sector-chart SECTOR --json` and checks its items: MEMBERS securities (the sector's members
# in Host/Sectors.json, counted by hand), each with a value, in the order of their values (highest first),
# and each with minute points of the field inside the time range asked for, in time order.
#   cmake -DHOST=<kdp-host> -DDATA=<data dir> -DSECTOR=<id> -DMEMBERS=<count> -P sector_chart_order.cmake
file(REMOVE_RECURSE "${DATA}")  # an empty data directory, as for every command test
execute_process(COMMAND ${HOST} --data-dir ${DATA} --server-time "2026-12-04 10:30:00"
                        sector-chart ${SECTOR} --from 1000 --to 1030 --json
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "sector-chart: exit ${status}\n${out}${err}")
endif()
string(JSON count LENGTH "${out}" items)
if(NOT count EQUAL MEMBERS)
  message(FATAL_ERROR "sector-chart: ${count} items, expected ${MEMBERS}\n${out}")
endif()
math(EXPR last "${count} - 1")
set(before "")
foreach(i RANGE ${last})
  string(JSON value GET "${out}" items ${i} value)
  if(NOT before STREQUAL "" AND value GREATER before)
    message(FATAL_ERROR "sector-chart: item ${i} (${value}) is above the one before it (${before})\n${out}")
  endif()
  set(before "${value}")
  string(JSON points LENGTH "${out}" items ${i} minutes)
  if(points EQUAL 0)
    message(FATAL_ERROR "sector-chart: item ${i} has no minute points\n${out}")
  endif()
  math(EXPR last_point "${points} - 1")
  set(previous 999)
  foreach(p RANGE ${last_point})
    string(JSON time GET "${out}" items ${i} minutes ${p} time)
    if(time LESS 1000 OR time GREATER 1030 OR NOT time GREATER previous)
      message(FATAL_ERROR "sector-chart: item ${i} has minute ${time} after ${previous}, outside 10:00-10:30 or out of order\n${out}")
    endif()
    set(previous ${time})
  endforeach()
endforeach()
