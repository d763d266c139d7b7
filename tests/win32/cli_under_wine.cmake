# cmake -DWINE=... -DNATIVE_CLI=... -DWINDOWS_CLI=... -DWORK=... -DSIZEOF_VOID_P=4|8 -P cli_under_wine.cmake
#
# The Windows CLI against the native one: the formats are fixed to the bit,
# so the same key and text give the same bytes everywhere. Then the Windows
# CLI decrypts what it made, replacing the output file, and a wrong key
# leaves the output file as it was.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
string(ASCII 252 223 233 letters)  # beyond ASCII in code page 1252
file(WRITE ${WORK}/key.txt "correct horse battery staple\n")
file(WRITE ${WORK}/wrong.txt "another key\n")
file(WRITE ${WORK}/plain.txt "Gr${letters}e: the Windows build says the same as the native one.")
file(WRITE ${WORK}/output.txt "stale content that must be replaced")

function(run expected_status)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${WORK} RESULT_VARIABLE status ERROR_VARIABLE errors TIMEOUT 60)
  if(NOT status EQUAL expected_status)
    message(FATAL_ERROR "${ARGN}: status ${status}, not ${expected_status}: ${errors}")
  endif()
  set(errors "${errors}" PARENT_SCOPE)
endfunction()

function(expect_same expected actual)
  file(READ ${WORK}/${expected} a HEX)
  file(READ ${WORK}/${actual} b HEX)
  if(NOT a STREQUAL b)
    message(FATAL_ERROR "${expected} and ${actual} differ:\n${a}\n${b}")
  endif()
endfunction()

foreach(command encrypt encrypt-bytes)
  run(0 ${NATIVE_CLI} ${command} -k key.txt -o native.${command} plain.txt)
  run(0 ${WINE} ${WINDOWS_CLI} ${command} -k key.txt -o windows.${command} plain.txt)
  expect_same(native.${command} windows.${command})
  string(REPLACE "encrypt" "decrypt" opposite ${command})
  run(0 ${WINE} ${WINDOWS_CLI} ${opposite} -k key.txt -o output.txt windows.${command})
  expect_same(plain.txt output.txt)
  run(1 ${WINE} ${WINDOWS_CLI} ${opposite} -k wrong.txt -o output.txt windows.${command})
  expect_same(plain.txt output.txt)
endforeach()
file(GLOB leftovers ${WORK}/*.zarnocrypt-*)
if(leftovers)
  message(FATAL_ERROR "temporary files left behind: ${leftovers}")
endif()

if(SIZEOF_VOID_P EQUAL 4)
  execute_process(COMMAND truncate -s 4294967294 ${WORK}/huge.bin COMMAND_ERROR_IS_FATAL ANY)
  foreach(command "decrypt;-k;key.txt" inspect)
    run(1 ${WINE} ${WINDOWS_CLI} ${command} huge.bin)
    if(NOT errors MATCHES "huge.bin is too large: [^\n]* takes at most 4294967293 bytes")
      message(FATAL_ERROR "${command} of 4 GiB - 2 bytes: ${errors}")
    endif()
  endforeach()
  file(REMOVE ${WORK}/huge.bin)
endif()
