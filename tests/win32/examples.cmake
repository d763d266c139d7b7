# cmake -DWINE=... -DEXAMPLES=... -DNATIVE_CLI=... -DWORK=... -P examples.cmake
# The examples in the script hosts of the registered DLL (WINE runs cscript at
# the DLL's word size), and what they encrypt set against the native tool.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(WRITE ${WORK}/key.txt "correct horse\n")
file(WRITE ${WORK}/text.txt "Minutes of the board meeting, not for distribution.")
string(REPLACE "/" "\\" work "Z:${WORK}")  # drive Z: is the Unix root

function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${WORK} COMMAND_ERROR_IS_FATAL ANY)
endfunction()

# cscript ends silently with status 0 on an uncaught error: the last line decides.
function(run_example script)
  execute_process(COMMAND ${WINE} cscript //nologo ${script} ${ARGN} WORKING_DIRECTORY ${EXAMPLES}
                  OUTPUT_VARIABLE output TIMEOUT 120)
  if(NOT output MATCHES "\nAll steps succeeded.\r?\n$")
    message(FATAL_ERROR "${script} ${ARGN}:\n${output}")
  endif()
endfunction()

# A file with zero bytes in it. Encryption is deterministic: the tool making
# the script's envelope shows that each side decrypts what the other wrote.
run(${NATIVE_CLI} encrypt-bytes -k key.txt -o data.bin text.txt)
run_example(encrypt-file.vbs ${work}\\data.bin)
run(${NATIVE_CLI} encrypt-bytes -k key.txt -o tool.zqv data.bin)
run(${NATIVE_CLI} decrypt-bytes -k key.txt -o tool.copy data.bin.zqv)
foreach(same "tool.zqv;data.bin.zqv" "data.bin;tool.copy" "data.bin;data.bin.copy")
  run(${CMAKE_COMMAND} -E compare_files ${same})
endforeach()

# The tool's "U" text of the example's texts in UTF-8 decrypts in the script to them.
run(iconv -f UTF-16 -t UTF-8 -o texts.txt ${EXAMPLES}/unicode-texts.txt)
run(${NATIVE_CLI} encrypt --utf8 -k key.txt -o texts.zqv texts.txt)
run_example(unicode.vbs ${work}\\texts.zqv)
run_example(bytes.js)

# Sealed texts differ each time: each side opens what the other sealed.
run(${NATIVE_CLI} encrypt --sealed -k key.txt -o text.txt.zqv text.txt)
run_example(sealed.vbs ${work}\\text.txt)
run(${NATIVE_CLI} decrypt -k key.txt -o text.copy text.txt.sealed)
run(${CMAKE_COMMAND} -E compare_files text.txt text.copy)
