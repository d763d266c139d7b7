# cmake -DWINE=wine -DWINE64=/usr/lib/wine/wine64 -DDLL32=... -DDLL64=... -DCLIENT32=... -DCLIENT64=...
#       -DVERSION=v2.1 -P side_by_side.cmake
#
# The 32-bit and the 64-bit Zarnocrypt.dll registered side by side in one
# 64-bit prefix, where the 64-bit DLL is registered already. `wine` starts
# Wine's own regsvr32 as a 32-bit program, WINE64 as a 64-bit one. Each
# client ("server_tests report") must get the DLL of its own word size, both
# must seal a text alike, and unregistering one DLL must leave the other working.
string(REPLACE "/" "\\" dll32 "Z:${DLL32}")
string(REPLACE "/" "\\" dll64 "Z:${DLL64}")

function(run)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE status)
  string(REPLACE "\r" "" output "${output}")
  string(STRIP "${output}" output)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN}: exit status ${status}\n${output}\n${errors}")
  endif()
  set(output "${output}" PARENT_SCOPE)
endfunction()

# expect_reports(WHAT REPORT-32 REPORT-64): what each client reports now,
# case aside; every text sealed must be the first one's.
function(expect_reports what)
  foreach(bits 32 64)
    run(${WINE} ${CLIENT${bits}} report)
    string(FIND "${output}" " marked=" at)
    if(at GREATER 0)
      string(SUBSTRING "${output}" ${at} -1 marked)
      string(SUBSTRING "${output}" 0 ${at} output)
      get_property(first_marked GLOBAL PROPERTY first_marked)
      if(NOT first_marked)
        set_property(GLOBAL PROPERTY first_marked "${marked}")
      elseif(NOT marked STREQUAL first_marked)
        message(FATAL_ERROR "${what}: ${bits}-bit sealed ${marked}, not ${first_marked}")
      endif()
    endif()
    list(APPEND reports "${output}")
  endforeach()
  string(TOLOWER "${reports}" actual)
  string(TOLOWER "${ARGN}" expected)
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "${what}:\n  expected: ${expected}\n  actual:   ${actual}")
  endif()
  message(STATUS "${what}: ${actual}")
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
