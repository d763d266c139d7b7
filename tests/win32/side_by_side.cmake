# cmake -DWINE=wine -DWINE64=/usr/lib/wine/wine64 -DDLL32=... -DDLL64=... -DCLIENT32=... -DCLIENT64=...
#       -DVERSION=v2.1 -P side_by_side.cmake
# Both DLLs in one 64-bit prefix (WINE runs Wine's regsvr32 as 32-bit, WINE64 as 64-bit): each client
# ("server_tests report") gets its word size's DLL; unregistering one leaves the other working.
string(REPLACE "/" "\\" dll32 "Z:${DLL32}")
string(REPLACE "/" "\\" dll64 "Z:${DLL64}")

function(run)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE status)
  string(STRIP "${output}" output)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN}: exit status ${status}\n${output}\n${errors}")
  endif()
  set(output "${output}" PARENT_SCOPE)
endfunction()

# What each client reports now, case aside.
function(expect_reports what)
  foreach(bits 32 64)
    run(${WINE} ${CLIENT${bits}} report)
    list(APPEND reports "${output}")
  endforeach()
  string(TOLOWER "${reports}" actual)
  string(TOLOWER "${ARGN}" expected)
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "${what}:\n  expected: ${expected}\n  actual:   ${actual}")
  endif()
endfunction()

set(not_registered "error 80040154")  # REGDB_E_CLASSNOTREG
set(ok32 "module=${dll32} version=${VERSION}")
set(ok64 "module=${dll64} version=${VERSION}")
run(${WINE} regsvr32 /s /u ${dll32})
run(${WINE64} regsvr32 /s ${dll64})
expect_reports("64-bit DLL only" "${not_registered}" "${ok64}")
run(${WINE} regsvr32 /s ${dll32})
expect_reports("both DLLs" "${ok32}" "${ok64}")
# Each view has a class key of its own (the ProgID keys, one for both views,
# go with either DLL's unregistration).
run(${WINE64} regsvr32 /s /u ${dll64})
expect_reports("64-bit DLL unregistered" "${ok32}" "${not_registered}")
run(${WINE} regsvr32 /s /u ${dll32})
run(${WINE64} regsvr32 /s ${dll64})  # the 64-bit DLL alone, as the prefix's other tests expect
expect_reports("32-bit DLL unregistered" "${not_registered}" "${ok64}")
