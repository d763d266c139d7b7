# cmake -DWINE=... -DNATIVE_CLI=... -DWINDOWS_CLI=... -DENCRYPT_TOOL=... -DWORK=... -P cli_under_wine.cmake
#
# The Windows CLI and the Crypter object against the native CLI: the formats
# are fixed to the bit, so the same key and text give the same bytes
# everywhere (the envelope has no random part). Then the Windows CLI decrypts
# what it made, from a key file, with output files replaced in place.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
# Text with 1252 letters beyond ASCII, longer than one block.
string(ASCII 252 u_umlaut)
string(ASCII 223 sharp_s)
string(ASCII 233 e_acute)
file(WRITE ${WORK}/key.txt "correct horse battery staple\n")
file(WRITE ${WORK}/plain.txt "Gr${u_umlaut}${sharp_s}e, caf${e_acute}: the Windows build says the same as the native one.")
file(WRITE ${WORK}/output.txt "stale content that must be replaced")

function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${WORK} RESULT_VARIABLE failed ERROR_VARIABLE errors)
  if(failed)
    message(FATAL_ERROR "${ARGN} failed (${failed}): ${errors}")
  endif()
endfunction()

function(expect_same_file expected actual)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/${expected} ${WORK}/${actual}
                  RESULT_VARIABLE differs)
  if(differs)
    file(READ ${WORK}/${expected} a HEX)
    file(READ ${WORK}/${actual} b HEX)
    message(FATAL_ERROR "${expected} and ${actual} differ:\n${a}\n${b}")
  endif()
endfunction()

run(${NATIVE_CLI} encrypt -k key.txt -o native.txt plain.txt)
run(${NATIVE_CLI} encrypt-bytes -k key.txt -o native.bin plain.txt)

run(${WINE} ${WINDOWS_CLI} encrypt -k key.txt -o windows.txt plain.txt)
run(${WINE} ${WINDOWS_CLI} encrypt-bytes -k key.txt -o windows.bin plain.txt)
expect_same_file(native.txt windows.txt)
expect_same_file(native.bin windows.bin)

run(${WINE} ${ENCRYPT_TOOL} key.txt plain.txt component.txt component.bin)
expect_same_file(native.txt component.txt)
expect_same_file(native.bin component.bin)

run(${WINE} ${WINDOWS_CLI} decrypt -k key.txt -o output.txt windows.txt)
expect_same_file(plain.txt output.txt)
run(${WINE} ${WINDOWS_CLI} decrypt-bytes -k key.txt -o output.bin windows.bin)
expect_same_file(plain.txt output.bin)

# A wrong key fails with status 1 and leaves the output file as it was.
file(WRITE ${WORK}/wrong.txt "another key\n")
execute_process(COMMAND ${WINE} ${WINDOWS_CLI} decrypt -k wrong.txt -o output.txt windows.txt
                WORKING_DIRECTORY ${WORK} RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
if(NOT status EQUAL 1)
  message(FATAL_ERROR "decrypt with a wrong key gave status ${status}, not 1")
endif()
expect_same_file(plain.txt output.txt)
file(GLOB leftovers ${WORK}/*.zarnocrypt-*)
if(leftovers)
  message(FATAL_ERROR "temporary files left behind: ${leftovers}")
endif()
message(STATUS "Windows CLI and component agree with the native CLI")
