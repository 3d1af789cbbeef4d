# Fills FOLDER with the release and zips it beside itself. The names inside
# the zip are ASCII: Windows' own zip extractor reads other names in the
# local code page.
file(REMOVE_RECURSE "${FOLDER}")
file(MAKE_DIRECTORY "${FOLDER}")
execute_process(COMMAND "${STRIP}" -o "${FOLDER}/kelv.exe" "${EXE}" COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND "${STRIP}" -o "${FOLDER}/kelv.dll" "${DLL}" COMMAND_ERROR_IS_FATAL ANY)
if(FORM)
  execute_process(COMMAND "${STRIP}" -o "${FOLDER}/kelv-form.exe" "${FORM}" COMMAND_ERROR_IS_FATAL ANY)
endif()
configure_file("${DLL_GUIDE}" "${FOLDER}/kelv-dll.md" COPYONLY)
execute_process(COMMAND "${WRITER}" "${FOLDER}/help.doc" COMMAND_ERROR_IS_FATAL ANY)
# README.txt starts with a byte-order mark, by which Notepad and every other
# Windows editor know it as UTF-8; it gets Windows line ends here.
file(READ "${README}" text)
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${FOLDER}/README.txt" "${text}")
get_filename_component(name "${FOLDER}" NAME)
get_filename_component(parent "${FOLDER}" DIRECTORY)
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${name}.zip" --format=zip "${name}"
                WORKING_DIRECTORY "${parent}" COMMAND_ERROR_IS_FATAL ANY)
