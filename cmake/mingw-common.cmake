# What both MinGW-w64 toolchain files share; they set CMAKE_SYSTEM_PROCESSOR
# and ZARNOCRYPT_MINGW_TRIPLE first.
#
# The -posix compilers are needed for std::mutex (GoogleTest), and everything
# links statically: a dynamic libwinpthread or libstdc++ is missing under
# Wine and on clean Windows machines, and the process dies without a word.
set(CMAKE_SYSTEM_NAME Windows)

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

# Wine runs the test programs; the Makefile gives it a private prefix.
find_program(ZARNOCRYPT_WINE wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${ZARNOCRYPT_WINE})
set(ZARNOCRYPT_OBJDUMP ${ZARNOCRYPT_MINGW_TRIPLE}-objdump)
