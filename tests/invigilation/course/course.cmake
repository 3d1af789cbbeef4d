# 编排考号, then a 场次表 with its session sheets and workbooks written by
# hand (write_sessions.py), then kelv invigilate, then the door lists of
# every 场次 and the duty slips printed with kelv run; read back with
# openpyxl (check_course.py). On a copy of the course's workspace.
set(ws ${WORK}/workspace)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(COPY ${SOURCE}/workspace DESTINATION ${WORK})

function(step)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${ARGN} exited with ${rc}:\n${out}${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

step(${KELV} run ${ws} ${SOURCE}/assign.json --transcript ${WORK}/assign.jsonl)
step(${PYTHON} ${SOURCE}/write_sessions.py ${ws}/数据/高一.xlsx)
step(${KELV} invigilate ${ws} 高一.xlsx --seed 5)
message(STATUS "${out}")
if(NOT out MATCHES "已安排监考：3 场，12 个考场，共 24 人次")
  message(FATAL_ERROR "kelv invigilate did not say what it did:\n${out}")
endif()
step(${KELV} run ${ws} ${SOURCE}/print.json --transcript ${WORK}/print.jsonl)
file(READ ${WORK}/print.jsonl transcript)
if(transcript MATCHES "\"icon\":\"critical\"")
  message(FATAL_ERROR "printing showed an error box:\n${transcript}")
endif()
step(${PYTHON} ${SOURCE}/check_course.py ${ws})
message(STATUS "${out}")
