# 32-bit Linux with the Debian multiarch i386 libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
# Position-dependent code, like the Windows build: 32-bit x86 has no PC-relative data
# addressing, and PIE would pay a thunk call for every access to the runtime's tables.
set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -fno-pie")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -fno-pie")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -no-pie")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
list(APPEND CMAKE_PREFIX_PATH /usr/lib/i386-linux-gnu/cmake)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
