# Cross build for 64-bit Windows with MinGW-w64; tests run under 64-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZARNOCRYPT_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# Test programs given by path run with `wine`, which picks the 64-bit loader
# from the file. Wine's own programs given by name (regsvr32, cscript, reg)
# need the 64-bit loader named, or Debian's `wine` starts their 32-bit side.
find_program(ZARNOCRYPT_WINE_BUILTIN wine64 PATHS /usr/lib/wine REQUIRED NO_DEFAULT_PATH)
set(ZARNOCRYPT_WINEARCH win64)
