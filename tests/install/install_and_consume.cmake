# Installs the build tree into a fresh prefix, checks what it holds, then configures, builds and runs the
# consumer against it (the stand-in host on the installed sample configuration, two codes subscribed), and
# compiles and runs a package-only program from the pkg-config file alone. The README shows the consumer.
#   cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -DCXX=... -DLIBDIR=... [-DCONSUMER_FLAGS=...]
#         -P install_and_consume.cmake
# CONSUMER_FLAGS go to both consumers' compile and link lines (a sanitized build's consumers need them).
file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}" RESULT_VARIABLE rc OUTPUT_QUIET)
if(rc)
  message(FATAL_ERROR "cmake --install failed (${rc})")
endif()

# Headers: the package's public ones and the stand-in host's folder, nothing of the package's sources.
file(GLOB_RECURSE headers "${prefix}/include/*")
foreach(header ${headers})
  if(NOT header MATCHES "/include/(kdp|kdp-minihost)/")
    message(FATAL_ERROR "a header outside include/kdp and include/kdp-minihost was installed: ${header}")
  endif()
endforeach()
foreach(present include/kdp/package.h include/kdp-minihost/mini_host.h include/kdp-minihost/replay_speed.h
                share/kdp/etc/Host/host.json ${LIBDIR}/pkgconfig/kdp.pc)
  if(NOT EXISTS "${prefix}/${present}")
    message(FATAL_ERROR "${present} was not installed")
  endif()
endforeach()
foreach(absent include/core include/kdp-minihost/text_files.h include/kdp-minihost/replay_speed_detail.h)
  if(EXISTS "${prefix}/${absent}")
    message(FATAL_ERROR "${absent} is not for an installed prefix")
  endif()
endforeach()

# The README's "Installing" section shows the consumer's files as they are.
file(READ "${SOURCE_DIR}/README.md" readme)
foreach(shown CMakeLists.txt main.cpp)
  file(READ "${SOURCE_DIR}/tests/install/consumer/${shown}" text)
  string(FIND "${readme}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "README.md does not show tests/install/consumer/${shown} as it is")
  endif()
endforeach()

execute_process(COMMAND ${CMAKE_COMMAND} -S "${SOURCE_DIR}/tests/install/consumer" -B "${WORK_DIR}/build" -G Ninja
                        "-DCMAKE_PREFIX_PATH=${prefix}" "-DCMAKE_CXX_FLAGS=${CONSUMER_FLAGS}"
                        "-DCMAKE_EXE_LINKER_FLAGS=${CONSUMER_FLAGS}" RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "the consumer does not configure against the installed package (${rc})")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build "${WORK_DIR}/build" RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "the consumer does not build against the installed package (${rc})")
endif()
# Its user data and logs stay in the work directory.
execute_process(COMMAND ${CMAKE_COMMAND} -E env "KDP_DATA_DIR=${WORK_DIR}/data" "${WORK_DIR}/build/kdp_consumer"
                RESULT_VARIABLE rc OUTPUT_VARIABLE pushes ERROR_VARIABLE errors TIMEOUT 120)
message("${pushes}${errors}")
if(rc)
  message(FATAL_ERROR "the consumer ran and failed (${rc})")
endif()
foreach(code 600000\\.SH 00700\\.HK)
  if(NOT "\n${pushes}" MATCHES "\n${code} [0-9]+\\.[0-9]+ volume [0-9]+\n")
    message(FATAL_ERROR "the consumer printed no push of ${code}")
  endif()
endforeach()

# pkg-config alone, as a build without CMake uses it.
set(ENV{PKG_CONFIG_PATH} "${prefix}/${LIBDIR}/pkgconfig")
execute_process(COMMAND pkg-config --cflags --libs --static kdp RESULT_VARIABLE rc OUTPUT_VARIABLE flags
                OUTPUT_STRIP_TRAILING_WHITESPACE)
if(rc)
  message(FATAL_ERROR "pkg-config does not know the installed kdp (${rc})")
endif()
message("pkg-config --cflags --libs --static kdp: ${flags}")
separate_arguments(flags UNIX_COMMAND "${flags} ${CONSUMER_FLAGS}")
execute_process(COMMAND ${CXX} -std=c++20 "${SOURCE_DIR}/tests/install/pkgconfig/main.cpp" ${flags}
                        -o "${WORK_DIR}/pkgconfig_consumer" RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "the package-only program does not build from pkg-config's flags (${rc})")
endif()
execute_process(COMMAND "${WORK_DIR}/pkgconfig_consumer" RESULT_VARIABLE rc OUTPUT_VARIABLE said)
if(rc OR NOT said MATCHES "linked and ran")
  message(FATAL_ERROR "the package-only program ran and failed (${rc}): ${said}")
endif()
