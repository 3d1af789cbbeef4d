# kelv-form on a machine without a display, and with a display that is not
# there: a sentence saying so and status 1, never Qt's abort and a core dump.
#   cmake -DFORM=path/to/kelv-form -P without_display.cmake
foreach(display "" ":987")
  if(display STREQUAL "")
    set(show --unset=DISPLAY)
  else()
    set(show DISPLAY=${display})
  endif()
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env --unset=WAYLAND_DISPLAY --unset=QT_QPA_PLATFORM ${show} ${FORM}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 120)
  if(NOT status STREQUAL "1")
    message(FATAL_ERROR "display '${display}': status ${status}, not 1\n${err}")
  endif()
  if(NOT err MATCHES "打不开窗口" OR NOT err MATCHES "kelv --help")
    message(FATAL_ERROR "display '${display}': no sentence on the error stream\n${err}")
  endif()
  message(STATUS "display '${display}': ${err}")
endforeach()
