# Cross-compiling for 32-bit Windows with Debian's MinGW-w64 (posix threads model).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(_triple i686-w64-mingw32)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake")
