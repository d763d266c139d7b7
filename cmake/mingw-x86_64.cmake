# Cross build for 64-bit Windows with MinGW-w64; tests run under 64-bit Wine.
# Same settings as cmake/mingw-i686.cmake (posix threads, static runtime):
# only the target and the Wine programs differ.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZARNOCRYPT_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZARNOCRYPT_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZARNOCRYPT_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZARNOCRYPT_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZARNOCRYPT_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Test programs given by path run with `wine`, which picks the 64-bit loader
# from the file. Wine's own programs given by name (regsvr32, cscript, reg)
# need the 64-bit loader named, or Debian's `wine` starts their 32-bit side.
find_program(ZARNOCRYPT_WINE wine REQUIRED)
find_program(ZARNOCRYPT_WINE_BUILTIN wine64 PATHS /usr/lib/wine REQUIRED NO_DEFAULT_PATH)
set(CMAKE_CROSSCOMPILING_EMULATOR ${ZARNOCRYPT_WINE})
set(ZARNOCRYPT_WINEARCH win64)
set(ZARNOCRYPT_OBJDUMP ${ZARNOCRYPT_MINGW_TRIPLE}-objdump)
