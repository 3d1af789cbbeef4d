# kelv check on a copy of the check's workspace: a clean data workbook exits
# 0; a messy one exits 1 naming its problems; --fix keeps a copy of the file
# in 备份/, mends what it can and leaves only what it cannot.
set(ws ${WORK}/workspace)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(COPY ${SOURCE} DESTINATION ${WORK})

function(check expect_rc expect_out)
  execute_process(COMMAND ${KELV} check ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
  if(NOT rc EQUAL ${expect_rc})
    message(FATAL_ERROR "kelv check ${ARGN} exited with ${rc}, not ${expect_rc}:\n${out}${err}")
  endif()
  if(NOT "${out}${err}" MATCHES "${expect_out}")
    message(FATAL_ERROR "kelv check ${ARGN}: output does not match \"${expect_out}\":\n${out}${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

check(0 "^检查完毕：没有发现问题。\n$" ${ws} 干净.xlsx)
check(1 "\\[错误\\] 空行.xlsx › 考生表 第 5 行：第 5 行是空行" ${ws} 空行.xlsx)
check(1 "检查完毕：1 个错误，1 个提醒。" ${ws} ${ws}/数据/空行.xlsx)
check(1 "值“30人”：考场“01”的场人不是数字，看起来是 30.*（可修正：改为数字 30）" ${ws} 场人.xlsx)
# Every data workbook when none is named.
check(1 "标题行.xlsx.*看不见的字符.xlsx" ${ws})

# --fix: the original kept, the mends saved, what is left reported.
file(SHA256 ${ws}/数据/看不见的字符.xlsx before)
check(0 "已修正 看不见的字符.xlsx 中的 5 处，原文件已备份到 .*备份.*没有发现问题" ${ws}
      看不见的字符.xlsx --fix)
file(GLOB copies ${ws}/备份/看不见的字符.*.xlsx)
list(LENGTH copies n)
if(NOT n EQUAL 1)
  message(FATAL_ERROR "expected one copy in 备份/, found: ${copies}")
endif()
file(SHA256 ${copies} kept)
if(NOT kept STREQUAL before)
  message(FATAL_ERROR "the copy in 备份/ is not the file as it was")
endif()
check(0 "没有发现问题" ${ws} 看不见的字符.xlsx)
check(1 "找不到数据工作簿：没有.xlsx" ${ws} 没有.xlsx)
