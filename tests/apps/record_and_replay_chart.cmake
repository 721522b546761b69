# Records a live board of two codes, then replays the recording into a chart of the second code with an
# image: the chart must receive the recorded pushes (it subscribes what the recording subscribed with its
# code), print its title and write a PNG of at least one bar.
#   cmake -DHOST=<kdp-host> -DDATA=<data dir> -P record_and_replay_chart.cmake
set(recording "${DATA}/chart.kdpr")
set(image "${DATA}/chart.png")
file(REMOVE_RECURSE "${DATA}")
file(MAKE_DIRECTORY "${DATA}")
execute_process(COMMAND ${HOST} --data-dir ${DATA} --server-time "2026-12-04 10:30:00" record ${recording}
                        --seconds 3 600000.SH 00700.HK
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "record: exit ${status}\n${out}${err}")
endif()
execute_process(COMMAND ${HOST} --data-dir ${DATA} replay ${recording} --speed 0 chart 00700.HK --png ${image}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "replay chart: exit ${status}\n${out}${err}")
endif()
if(NOT out MATCHES "^00700.HK 腾讯控股  [0-9]+\\.[0-9]+ " OR NOT err MATCHES "wrote [^\n]*chart.png \\(1200 x 720 pixels, [1-9][0-9]* bars\\)")
  message(FATAL_ERROR "replay chart: no title or no bars\n${out}${err}")
endif()
file(READ "${image}" signature LIMIT 8 HEX)
if(NOT signature STREQUAL "89504e470d0a1a0a")
  message(FATAL_ERROR "replay chart: ${image} is not a PNG (${signature})")
endif()
