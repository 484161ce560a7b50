# 32-bit Linux as toolchain-linux-i686.cmake, compiled by clang: the compiler of the fuzz
# targets (libFuzzer and its i386 sanitizer runtimes come with Debian's clang packages).
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-linux-i686.cmake)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
