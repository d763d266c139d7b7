# cmake -DWINE=wine -DWINE64=/usr/lib/wine/wine64 -DDLL32=... -DDLL64=... -DCLIENT32=... -DCLIENT64=...
#       -DSCRIPTS=dir -DWORK=dir -P side_by_side.cmake
#
# The 32-bit and the 64-bit Zarnocrypt.dll registered side by side in one
# 64-bit prefix, where the 64-bit DLL is registered already. `wine` starts
# Wine's own programs (regsvr32, cscript) as 32-bit ones, WINE64 as 64-bit
# ones. Each host must get the DLL of its own word size, messages must cross
# between them, and unregistering one DLL must leave the other working.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/from32 ${WORK}/from64)

function(windows_path out path)
  string(REPLACE "/" "\\" path "Z:${path}")
  set(${out} "${path}" PARENT_SCOPE)
endfunction()
windows_path(dll32 ${DLL32})
windows_path(dll64 ${DLL64})
windows_path(work ${WORK})

function(run out)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE status)
  string(REPLACE "\r" "" output "${output}")
  string(STRIP "${output}" output)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN}: exit status ${status}\n${output}\n${errors}")
  endif()
  set(${out} "${output}" PARENT_SCOPE)
endfunction()

function(expect what actual expected)
  string(TOLOWER "${actual}" actual_lower)
  string(TOLOWER "${expected}" expected_lower)
  if(NOT actual_lower STREQUAL expected_lower)
    message(FATAL_ERROR "${what}:\n  expected: ${expected}\n  actual:   ${actual}")
  endif()
  message(STATUS "${what}: ${actual}")
endfunction()

function(regsvr32 loader)  # regsvr32 LOADER [/u] DLL
  run(ignored ${loader} regsvr32 /s ${ARGN})
endfunction()

function(host loader out)  # host LOADER OUT ARGS...: cross_host.vbs in that script host
  execute_process(COMMAND ${loader} cscript //nologo cross_host.vbs ${ARGN} WORKING_DIRECTORY ${SCRIPTS}
                  OUTPUT_VARIABLE output RESULT_VARIABLE status)
  string(REPLACE "\r" "" output "${output}")
  string(STRIP "${output}" output)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "cross_host.vbs ${ARGN} (${loader}): exit status ${status}\n${output}")
  endif()
  set(${out} "${output}" PARENT_SCOPE)
endfunction()

# "ActiveX component can't create object": what a host gets without a DLL of its own size.
set(not_registered "error 1AD")

# Only the 64-bit DLL: the 32-bit host finds no class. (The ProgID keys are
# one for both views, as on Windows, and go with either DLL's
# unregistration: the 64-bit DLL is registered again after the 32-bit one
# is unregistered.)
regsvr32(${WINE} /u ${dll32})
regsvr32(${WINE64} ${dll64})
host(${WINE} report32 report)
host(${WINE64} report64 report)
expect("32-bit host, 64-bit DLL only" "${report32}" "${not_registered}")
expect("64-bit host, 64-bit DLL only" "${report64}" "module=${dll64} version=v2.1")

# Both: each host its own.
regsvr32(${WINE} ${dll32})
host(${WINE} report32 report)
host(${WINE64} report64 report)
expect("32-bit host, both DLLs" "${report32}" "module=${dll32} version=v2.1")
expect("64-bit host, both DLLs" "${report64}" "module=${dll64} version=v2.1")

# Marked texts in every form, from each host to the other.
host(${WINE} ignored encrypt ${work}\\from32)
host(${WINE64} decrypted encrypt ${work}\\from64)
host(${WINE64} decrypted decrypt ${work}\\from32)
expect("64-bit host decrypts the 32-bit host's texts" "${decrypted}" "3 passed, 0 failed")
host(${WINE} decrypted decrypt ${work}\\from64)
expect("32-bit host decrypts the 64-bit host's texts" "${decrypted}" "3 passed, 0 failed")

# Envelopes through compiled clients, which report the module they loaded.
file(WRITE ${WORK}/key.txt "side by side\n")
string(REPEAT "0123456789abcdef" 9 plain)  # 144 bytes: several blocks and a partial one
file(WRITE ${WORK}/plain.bin "${plain}\n")
run(module ${WINE} ${CLIENT32} encrypt ${WORK}/key.txt ${WORK}/plain.bin ${WORK}/from32.bin)
expect("32-bit client module" "${module}" "module=${dll32}")
run(module ${WINE} ${CLIENT64} encrypt ${WORK}/key.txt ${WORK}/plain.bin ${WORK}/from64.bin)
expect("64-bit client module" "${module}" "module=${dll64}")
run(ignored ${WINE} ${CLIENT64} decrypt ${WORK}/key.txt ${WORK}/from32.bin ${WORK}/back64.bin)
run(ignored ${WINE} ${CLIENT32} decrypt ${WORK}/key.txt ${WORK}/from64.bin ${WORK}/back32.bin)
foreach(pair "plain.bin;back64.bin" "plain.bin;back32.bin" "from32.bin;from64.bin")
  list(GET pair 0 expected)
  list(GET pair 1 actual)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/${expected} ${WORK}/${actual}
                  RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "${actual} differs from ${expected}")
  endif()
endforeach()
message(STATUS "envelopes cross both ways, and both DLLs make the same bytes")

# Each view has a class key of its own: without the 64-bit DLL, the 32-bit
# client still finds its DLL by class identifier, the 64-bit host nothing.
regsvr32(${WINE64} /u ${dll64})
run(module ${WINE} ${CLIENT32} decrypt ${WORK}/key.txt ${WORK}/from64.bin ${WORK}/again32.bin)
expect("32-bit client, 64-bit DLL unregistered" "${module}" "module=${dll32}")
host(${WINE64} report64 report)
expect("64-bit host, 64-bit DLL unregistered" "${report64}" "${not_registered}")

# Back to the 64-bit DLL alone, which the other tests of the prefix use.
regsvr32(${WINE} /u ${dll32})
regsvr32(${WINE64} ${dll64})
host(${WINE} report32 report)
host(${WINE64} report64 report)
expect("32-bit host, 32-bit DLL unregistered" "${report32}" "${not_registered}")
expect("64-bit host, 32-bit DLL unregistered" "${report64}" "module=${dll64} version=v2.1")
