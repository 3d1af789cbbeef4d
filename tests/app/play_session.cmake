# Plays tests/app/data/play-session.txt with kelv play on a copy of the
# workspace WS in WORK, then checks what the terminal showed and what the
# saved workbooks hold.
# kelv shows paths in the platform's form: under Wine the build machine's
# root is drive Z:.
if(WINDOWS)
  string(REPLACE "/" "\\" shown "Z:${WORK}")
  set(sep "\\")
else()
  set(shown "${WORK}")
  set(sep "/")
endif()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(COPY "${WS}/" DESTINATION "${WORK}")
execute_process(COMMAND ${KELV} play ${WORK} --seed 1 --no-viewer INPUT_FILE ${INPUT}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "kelv play exited with ${rc}:\n${err}\n${out}")
endif()

function(expect_shown text)
  string(FIND "${out}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "kelv play did not show \"${text}\":\n${out}")
  endif()
endfunction()

expect_shown("kelv> click CmdDoKaoHaoClick\n按钮不可用，事件 CmdDoKaoHaoClick 未发送")
expect_shown("  LtbBiao（列表框）未选中，1 项\n      0  初一.xlsx\n")
expect_shown("  CmdDoKaoHao（按钮）不可用\n")
expect_shown("发送 CmdDoKaoHaoClick\n")
expect_shown("设置 TxtHang 未保存：kelv 电子表格：(13)“每页行数”须是数字，现在填的是“六”")
expect_shown("已写入设置 TxtHang")
expect_shown("复选框 ChbHengPai 的值须是 true、false 或 null")
expect_shown("【添加模板】\n请输入要添加的模板名")
expect_shown("  MultiPage1（多页）当前页 Page1\n")
expect_shown("  LtbBiao（列表框）“初一.xlsx”，1 项\n    * 0  初一.xlsx\n")
expect_shown("  CmdDoKaoHao（按钮）可用\n")
expect_shown("  TxtHang（文本框）“7”\n")
expect_shown("  ChbHengPai（复选框）true\n")
expect_shown("已保存：${shown}${sep}考务.xlsx\n已保存：${shown}${sep}数据${sep}初一.xlsx\n")
expect_shown("旧文件已备份到 ${shown}${sep}备份（kelv restore 可以恢复）")
if(NOT EXISTS "${WORK}/备份")
  message(FATAL_ERROR "the save kept no backup in ${WORK}/备份")
endif()
expect_shown("打开文档：${shown}${sep}帮助.doc")
expect_shown("是否保存工作簿？\n[是(y) / 否(n)] （输入已结束：否）")

# The cancelled name added no template: both looks at the form list one.
string(REGEX MATCHALL "LtbMoBan（列表框）“门贴”，1 项" one_template "${out}")
list(LENGTH one_template shows)
if(NOT shows EQUAL 2)
  message(FATAL_ERROR "the template list changed:\n${out}")
endif()

execute_process(COMMAND ${KELV} dump ${WORK}/考务.xlsx DTB OUTPUT_VARIABLE dtb RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT dtb MATCHES "\nF2 n 7\n")
  message(FATAL_ERROR "the saved settings sheet lacks the row count 7:\n${dtb}")
endif()
execute_process(COMMAND ${KELV} dump ${WORK}/数据/初一.xlsx 考场表 OUTPUT_VARIABLE rooms
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT rooms MATCHES "\nF2 s \"0001\"[^\n]*\nG2 s \"0003\"")
  message(FATAL_ERROR "the saved room sheet lacks the exam numbers:\n${rooms}")
endif()

# Answering the question at quit with y saves what was sent.
file(WRITE "${WORK}/quit.txt" "page Page1\nset TxtHang 9\nchange TxtHang\nquit\ny\n")
execute_process(COMMAND ${KELV} play ${WORK} --no-viewer INPUT_FILE ${WORK}/quit.txt
                RESULT_VARIABLE rc OUTPUT_VARIABLE out)
expect_shown("是否保存工作簿？\n[是(y) / 否(n)] y\n已保存：${shown}${sep}考务.xlsx\n")
execute_process(COMMAND ${KELV} dump ${WORK}/考务.xlsx DTB OUTPUT_VARIABLE dtb RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT dtb MATCHES "\nF2 n 9\n")
  message(FATAL_ERROR "saving at quit did not keep the row count 9:\n${dtb}")
endif()
file(REMOVE_RECURSE "${WORK}")
