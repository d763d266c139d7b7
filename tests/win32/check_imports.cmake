# cmake -DOBJDUMP=... -DBINARIES="a.exe;b.dll" [-DSYSTEM_DLLS="a.dll;b.dll"] -P check_imports.cmake
# Fails when a binary imports a DLL outside the system's own set (a MinGW
# runtime DLL would be missing on the target machine).
cmake_policy(SET CMP0057 NEW)  # if(... IN_LIST ...)
if(NOT DEFINED SYSTEM_DLLS)
  set(SYSTEM_DLLS kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll shlwapi.dll comctl32.dll
      ole32.dll oleaut32.dll msvcrt.dll version.dll)
endif()
string(TOLOWER "${SYSTEM_DLLS}" system_dlls)
foreach(binary IN LISTS BINARIES)
  execute_process(COMMAND ${OBJDUMP} -p ${binary} OUTPUT_VARIABLE dump COMMAND_ERROR_IS_FATAL ANY)
  string(TOLOWER "${dump}" dump)
  string(REGEX MATCHALL "dll name: [^\r\n]+" imports "${dump}")
  string(REPLACE "dll name: " "" imports "${imports}")
  foreach(dll IN LISTS imports)
    if(NOT dll IN_LIST system_dlls)
      message(FATAL_ERROR "${binary} imports ${dll}, which is not a system DLL")
    endif()
  endforeach()
  if(NOT imports)
    message(FATAL_ERROR "${binary}: no import table found")
  endif()
endforeach()
