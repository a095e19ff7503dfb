# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (posix threads
# model): the same program and tests for machines that run no 32-bit code,
# where Wine can run only 64-bit Windows programs.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(_triple x86_64-w64-mingw32)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake")
