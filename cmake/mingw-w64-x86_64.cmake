# Cross-build for 64-bit Windows with Debian's MinGW-w64 compilers of the
# posix thread model (package g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build/windows --toolchain cmake/mingw-w64-x86_64.cmake
# or the `windows` presets. Every program is linked statically, so that
# resection.exe needs nothing beyond the DLLs every Windows has.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_prefix x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_prefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_prefix}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_prefix}-windres)
# CPack strips the packaged program with this one.
set(CMAKE_STRIP /usr/bin/${mingw_prefix}-strip CACHE FILEPATH "strip for Windows binaries")

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
