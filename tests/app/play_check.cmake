# Plays tests/app/data/play-check.txt with kelv play on a copy of the basic
# workspace WS in WORK, with a roster 名单.csv and another program's lock
# file beside 初一.xlsx in its data folder, and checks what the terminal
# showed and what was written.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(COPY "${WS}/" DESTINATION "${WORK}")
file(WRITE "${WORK}/数据/名单.csv" "姓名,学校,班级\n张三,一中,1\n李四,一中,2\n")
file(WRITE "${WORK}/数据/~$初一.xlsx" "lock")
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

expect_shown("提醒：工作簿“初一.xlsx”可能正在另一个电子表格程序中打开（发现锁定文件“~$初一.xlsx”）")
expect_shown("【检查数据】\n开始编排考号之前检查数据，发现 1 个错误、0 个提醒：\n[错误] 考务.xlsx 设置“起始考号” 值“A001”")
expect_shown("[是(y) / 否(n)] n\n事件 CmdDoKaoHaoClick 未发送：已取消：检查数据时发现问题，没有开始")
expect_shown("编排考号完成：6 名考生排入 2 个考场，用时")
expect_shown("【做成数据工作簿】\n“名单.csv”不是数据工作簿（没有考场表和考生表）")
expect_shown("已做成数据工作簿：")
if(NOT EXISTS "${WORK}/数据/名单.xlsx")
  message(FATAL_ERROR "no data workbook was made from the roster")
endif()
# The roster itself is untouched, and the save asked nothing about it.
file(READ "${WORK}/数据/名单.csv" roster)
if(NOT roster STREQUAL "姓名,学校,班级\n张三,一中,1\n李四,一中,2\n")
  message(FATAL_ERROR "the roster changed:\n${roster}")
endif()
string(FIND "${out}" "另存为 .xlsx" asked)
if(NOT asked EQUAL -1)
  message(FATAL_ERROR "the save asked about the roster:\n${out}")
endif()
