# kelv invigilate on a rota that cannot be made: exit code 1, the reason
# with its numbers and the way out, and no file touched (no backup either).
# Then with the rule switched off at the command line it is made, and the
# switch is stored on the settings sheet for later runs.
set(ws ${WORK}/workspace)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${ws}/数据)
file(COPY_FILE ${SOURCE}/workspace/考务.xlsx ${ws}/考务.xlsx)
file(COPY_FILE ${DATA}/物理不够.xlsx ${ws}/数据/物理不够.xlsx)
file(SHA256 ${ws}/数据/物理不够.xlsx data_before)
file(SHA256 ${ws}/考务.xlsx host_before)

execute_process(COMMAND ${KELV} invigilate ${ws} 物理不够.xlsx --seed 1
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 1)
  message(FATAL_ERROR "an impossible rota exited with ${rc}:\n${out}${err}")
endif()
foreach(said "第 3 场需要 24 名监考，可用 21 名：7 名教物理（本场考物理），缺 3 名"
             "关掉“不监考本学科”这条规则" "什么都没有写")
  string(FIND "${out}" "${said}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "kelv invigilate did not say \"${said}\":\n${out}")
  endif()
endforeach()
file(SHA256 ${ws}/数据/物理不够.xlsx data_after)
file(SHA256 ${ws}/考务.xlsx host_after)
if(NOT data_after STREQUAL data_before OR NOT host_after STREQUAL host_before
   OR EXISTS ${ws}/备份)
  message(FATAL_ERROR "an impossible rota wrote files")
endif()

execute_process(COMMAND ${KELV} invigilate ${ws} 物理不够.xlsx --seed 1 --own-subject no
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT out MATCHES "已安排监考")
  message(FATAL_ERROR "with the rule off the rota exited with ${rc}:\n${out}${err}")
endif()
execute_process(COMMAND ${PYTHON} -c
                "import sys; from openpyxl import load_workbook; d = load_workbook(sys.argv[1])['DTB']; sys.exit(0 if d['BI7'].value is False and d['BJ7'].value is True else 1)"
                ${ws}/考务.xlsx RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the switched-off rule is not stored in DTB BI7")
endif()
