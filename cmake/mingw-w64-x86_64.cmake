# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (packages g++-mingw-w64-x86-64-posix
# and binutils-mingw-w64-x86-64). Used by the `windows` preset; scripts/bootstrap-windows.sh
# installs the compilers.
#
# Threading model: the "posix" flavour of the compilers. GCC 12's libstdc++ built for the
# "win32" model has no <mutex>, <thread> or <condition_variable> at all; the posix flavour
# implements them on top of winpthreads. We start no threads ourselves, but the libstdc++
# parts we do use (static-local guards, shared_ptr reference counts) behave the same in
# both models, and the posix one keeps the standard library complete should a part of the
# host ever need a lock.
#
# Runtime: libstdc++, libgcc and winpthreads are linked statically into every binary, so
# vantrel-host.exe, pluginsdk.dll and plugins/Vantrel.dll need no libstdc++-6.dll,
# libgcc_s_seh-1.dll or libwinpthread-1.dll beside them; only system DLLs (KERNEL32,
# msvcrt) are imported. Each module carries its own copy of the C++ runtime, but all of
# them allocate through the one msvcrt heap, and exceptions unwind through Windows' own
# table-based (SEH) mechanism, so objects, strings and exceptions may cross module
# boundaries.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLET x86_64-w64-mingw32)
# The -posix names pick the threading model regardless of how update-alternatives is set.
find_program(CMAKE_C_COMPILER NAMES ${MINGW_TRIPLET}-gcc-posix ${MINGW_TRIPLET}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${MINGW_TRIPLET}-g++-posix ${MINGW_TRIPLET}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${MINGW_TRIPLET}-windres REQUIRED)
find_program(CMAKE_AR NAMES ${MINGW_TRIPLET}-gcc-ar-posix ${MINGW_TRIPLET}-ar REQUIRED)
find_program(CMAKE_RANLIB NAMES ${MINGW_TRIPLET}-gcc-ranlib-posix ${MINGW_TRIPLET}-ranlib REQUIRED)

# Libraries and headers come from the MinGW sysroot only, never from the build machine's
# /usr/include or /usr/lib; programs (pkg-config and the like) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -static makes the linker take the archive of every library that has one: libstdc++,
# libgcc and libwinpthread are linked in, while system DLLs are still reached through
# their import libraries (which are archives too).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Test programs run through Wine when CTest or CMake need to execute them.
find_program(VANTREL_WINE NAMES wine wine64)
if(VANTREL_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${VANTREL_WINE})
endif()
