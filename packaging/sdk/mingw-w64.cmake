# Example toolchain file: 64-bit Windows programs built on Linux with MinGW-w64
# (Debian/Ubuntu: apt-get install mingw-w64). Adjust the compiler names to your
# distribution's. Use it for the examples and your own programs:
#
#   cmake -S examples -B build -DCMAKE_TOOLCHAIN_FILE=<SDK>/cmake/mingw-w64.cmake -DCMAKE_PREFIX_PATH=<SDK>
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER   x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER  x86_64-w64-mingw32-windres)

# Headers and libraries come from the MinGW-w64 tree only, programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# CMake packages are looked for outside that tree too, so that CMAKE_PREFIX_PATH finds
# the SDK. A toolchain that sets this to ONLY ignores CMAKE_PREFIX_PATH for packages:
# give -DOmbrelApi_DIR=<SDK>/lib/cmake/OmbrelApi instead.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# The C++ runtime linked in, so that a program needs only OmbrelApi.dll and Windows.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
