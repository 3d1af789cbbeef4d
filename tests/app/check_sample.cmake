# The check finds no 错误 on a clean workspace: the sample as written, and
# the sample after the demo's whole course of work (assignment, every
# template generated, saved). A check that flags a clean workspace is one
# nobody reads.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

function(expect_clean what)
  execute_process(COMMAND ${KELV} check ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR out MATCHES "\\[错误\\]")
    message(FATAL_ERROR "kelv check on ${what} exited with ${rc}:\n${out}${err}")
  endif()
endfunction()

execute_process(COMMAND ${KELV} sample ${WORK}/sample RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "kelv sample failed")
endif()
expect_clean("the untouched sample" ${WORK}/sample)

# The demo runs the same check before each step and lists what it found;
# its exit code counts the errors among them.
execute_process(COMMAND ${KELV} demo ${WORK}/demo --seed 7 RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(NOT rc EQUAL 0 OR out MATCHES "\\[检查\\][^\n]*\\[错误\\]")
  message(FATAL_ERROR "kelv demo found errors in its own sample (${rc}):\n${out}")
endif()
expect_clean("the sample after the course of work" ${WORK}/demo)
