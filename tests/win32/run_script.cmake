# cmake -DWINE=wine -DSCRIPT=name.vbs -DDIRECTORY=dir -DARGUMENT=... -P run_script.cmake
# Runs a test script with Wine's script host. An uncaught script error ends
# cscript silently with exit code 0, so the summary line is required too.
execute_process(COMMAND ${WINE} cscript //nologo ${SCRIPT} ${ARGUMENT}
  WORKING_DIRECTORY ${DIRECTORY}  # cscript takes a name relative to it, not a Unix path
  OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE status)
string(REPLACE "\r" "" output "${output}")
message("${output}")
if(NOT status EQUAL 0 OR NOT output MATCHES "(^|\n)[0-9]+ passed, 0 failed\n*$")
  message(FATAL_ERROR "${SCRIPT}: exit status ${status}, no final \"N passed, 0 failed\" line\n${errors}")
endif()
