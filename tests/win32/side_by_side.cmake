# cmake -DWINE=wine -DWINE64=/usr/lib/wine/wine64 -DDLL32=... -DDLL64=... -DCLIENT32=... -DCLIENT64=...
#       -DVERSION=v2.1 -DWORK=dir -P side_by_side.cmake
#
# The 32-bit and the 64-bit Zarnocrypt.dll registered side by side in one
# 64-bit prefix, where the 64-bit DLL is registered already. `wine` starts
# Wine's own regsvr32 as a 32-bit program, WINE64 as a 64-bit one. Each
# client must get the DLL of its own word size, envelopes must cross between
# them, and unregistering one DLL must leave the other working.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
string(REPLACE "/" "\\" dll32 "Z:${DLL32}")
string(REPLACE "/" "\\" dll64 "Z:${DLL64}")
set(not_registered "error 80040154")  # REGDB_E_CLASSNOTREG

function(run out)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE status)
  string(STRIP "${output}" output)
  string(REPLACE "\r" "" output "${output}")
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN}: exit status ${status}\n${output}\n${errors}")
  endif()
  set(${out} "${output}" PARENT_SCOPE)
endfunction()

# expect_reports(what 32-BIT-REPORT 64-BIT-REPORT): what each client finds now.
function(expect_reports what expected32 expected64)
  run(report32 ${WINE} ${CLIENT32} report)
  run(report64 ${WINE} ${CLIENT64} report)
  string(TOLOWER "${report32}|${report64}" actual)
  string(TOLOWER "${expected32}|${expected64}" expected)
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "${what}:\n  expected: ${expected}\n  actual:   ${actual}")
  endif()
  message(STATUS "${what}: ${actual}")
endfunction()

run(ignored ${WINE} regsvr32 /s /u ${dll32})
run(ignored ${WINE64} regsvr32 /s ${dll64})
expect_reports("64-bit DLL only" "${not_registered}" "module=${dll64} version=${VERSION}")
run(ignored ${WINE} regsvr32 /s ${dll32})
expect_reports("both DLLs" "module=${dll32} version=${VERSION}" "module=${dll64} version=${VERSION}")

# Envelopes of several blocks and a partial one, from each client to the other.
file(WRITE ${WORK}/key.txt "side by side\n")
string(REPEAT "0123456789abcdef" 9 plain)
file(WRITE ${WORK}/plain.bin "${plain}\n")
foreach(step "32;encrypt;plain;from32" "64;encrypt;plain;from64" "64;decrypt;from32;back64" "32;decrypt;from64;back32")
  list(GET step 0 bits)
  list(GET step 1 command)
  list(GET step 2 input)
  list(GET step 3 output)
  run(ignored ${WINE} ${CLIENT${bits}} ${command} ${WORK}/key.txt ${WORK}/${input}.bin ${WORK}/${output}.bin)
endforeach()
foreach(pair "plain;back64" "plain;back32" "from32;from64")
  list(GET pair 0 expected)
  list(GET pair 1 actual)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/${expected}.bin ${WORK}/${actual}.bin
                  RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "${actual}.bin differs from ${expected}.bin")
  endif()
endforeach()

# Each view has a class key of its own. (The ProgID keys are one for both
# views and go with either DLL's unregistration.)
run(ignored ${WINE64} regsvr32 /s /u ${dll64})
run(ignored ${WINE} ${CLIENT32} decrypt ${WORK}/key.txt ${WORK}/from64.bin ${WORK}/again32.bin)
run(ignored ${WINE} regsvr32 /s /u ${dll32})
run(ignored ${WINE64} regsvr32 /s ${dll64})  # the 64-bit DLL alone, as the prefix's other tests expect
expect_reports("32-bit DLL unregistered" "${not_registered}" "module=${dll64} version=${VERSION}")
