# Runs kelv with ARGS ("|"-separated) and passes only when it exits non-zero
# with standard error matching EXPECT and writes no transcript line.
string(REPLACE "|" ";" args "${ARGS}")
execute_process(COMMAND ${KELV} ${args} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(rc EQUAL 0)
  message(FATAL_ERROR "kelv ${ARGS} exited with 0")
endif()
if(NOT err MATCHES "${EXPECT}")
  message(FATAL_ERROR "kelv ${ARGS}: standard error does not match \"${EXPECT}\":\n${err}")
endif()
if(DEFINED NO_OUTPUT AND NOT out STREQUAL "")
  message(FATAL_ERROR "kelv ${ARGS} wrote:\n${out}")
endif()
