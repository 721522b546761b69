# `kdp-host qvb template` on the sample's template tree, and `qvb encrypt|decrypt` of a text and a file.
# The tree's lines and data sizes are counted by hand from the bytes the sample holds: "1000545\r\n1000546\r\n"
# is 18 bytes, two "100060x=xPI同比\r\n" 38, "SHIBOR O/N daily fixing\r\n" 25, "2000101=M2余额\r\n" 18. The
# cipher text of the text is OpenSSL's own AES-128-ECB of those 16 bytes under the key text filled with
# zero bytes to 16.
#   cmake -DHOST=<kdp-host> -DDATA=<data dir> -DTREE=<QVBTemplateTree.dat> -P qvb_files.cmake
function(run expected_status)
  execute_process(COMMAND ${HOST} --data-dir ${DATA} qvb ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
  if(NOT status EQUAL expected_status)
    message(FATAL_ERROR "qvb ${ARGN}: exit ${status}, expected ${expected_status}\n${out}${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()
function(expect text pattern what)
  if(NOT text MATCHES "${pattern}")
    message(FATAL_ERROR "${what}: expected /${pattern}/ in\n${text}")
  endif()
endfunction()

file(REMOVE_RECURSE ${DATA})
file(MAKE_DIRECTORY ${DATA})

run(0 template ${TREE})
expect("${out}" "^我的模板/ +文件夹 +root\n  宏观经济/ +文件夹 +macro\n    GDP季度同比 +序列文件 +gdp +18 字节  已勾选\n    CPI与PPI +图形文件 +cpi +38 字节\n  利率/ +文件夹 +rates\n    SHIBOR隔夜 +工作文件 +shibor +25 字节\n  货币供应M2 +QVB文件 +m2 +18 字节  已勾选\n4 个模板文件\n$"
       "the whole tree")

run(0 template ${TREE} --key macro --export ${DATA}/out)
expect("${out}" "^宏观经济/.*\n2 个模板文件\n已写入 ${DATA}/out/Temp/GDP季度同比.kst\n已写入 ${DATA}/out/Temp/CPI与PPI.kgt\n$"
       "the subtree exported")
# Compared as bytes: file(READ) as text drops carriage returns.
file(READ ${DATA}/out/Temp/CPI与PPI.kgt graph HEX)
string(HEX "1000601=CPI同比\r\n1000602=PPI同比\r\n" expected)
if(NOT graph STREQUAL expected)
  message(FATAL_ERROR "the exported graph template holds ${graph}, not ${expected}")
endif()
run(1 template ${TREE} --key nosuch)
expect("${err}" "no node of .* has the key nosuch" "an unknown key")

# A tree cut short in its last node is refused, naming where it stopped.
execute_process(COMMAND python3 -c "import sys; open(sys.argv[2], 'wb').write(open(sys.argv[1], 'rb').read()[:650])"
                        ${TREE} ${DATA}/cut.dat RESULT_VARIABLE cut_status)
if(NOT cut_status EQUAL 0)
  message(FATAL_ERROR "the cut tree could not be written")
endif()
run(2 template ${DATA}/cut.dat)
expect("${err}" "cut.dat is not a template tree \\(unreadable at byte [0-9]+ of 650\\)" "a cut tree")

run(0 encrypt --key kdp-sample-key --text "600000.SH 10.50!")
expect("${out}" "^7999EC9EDA81E8D75572EDDD73A68322\n$" "the cipher text of one block")
run(0 decrypt --key kdp-sample-key --hex 7999ec9eda81e8d75572eddd73a68322)
expect("${out}" "^600000.SH 10.50!\n$" "the text back")
run(105 decrypt --key kdp-sample-key --hex 7999ZZ)

# A file of two blocks and seven bytes keeps its length, and comes back as it was.
file(WRITE ${DATA}/plain.txt "浦发银行 600000.SH closed at 10.50\n")
run(0 encrypt --key kdp-sample-key --bits 256 ${DATA}/plain.txt ${DATA}/plain.aes)
expect("${out}" "已写入 .*plain.aes（39 字节）" "the encrypted file")
run(0 decrypt --key kdp-sample-key --bits 256 ${DATA}/plain.aes ${DATA}/back.txt)
file(READ ${DATA}/back.txt back)
file(READ ${DATA}/plain.aes cipher HEX)
if(NOT back STREQUAL "浦发银行 600000.SH closed at 10.50\n" OR cipher MATCHES "e6b5a6e58f91")
  message(FATAL_ERROR "the file came back as '${back}' (cipher ${cipher})")
endif()
run(106 encrypt --key kdp-sample-key)
