# Cross compiles for 64-bit Windows with Debian's MinGW-w64 (POSIX threads flavour).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The compiler's runtime (libgcc, libstdc++, winpthread) goes into each binary, so that the
# exe and the DLL run on a Windows machine with nothing else installed.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# A DLL exports its own functions only, not those of the runtime linked into it (CMake links
# the DLL's own objects as an archive too, so "ALL" would hide them).
set(MINGW_RUNTIME_ARCHIVES libgcc.a:libgcc_eh.a:libstdc++.a:libwinpthread.a:libpthread.a)
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -Wl,--exclude-libs,${MINGW_RUNTIME_ARCHIVES}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -Wl,--exclude-libs,${MINGW_RUNTIME_ARCHIVES}")

# Tests run under Wine here.
find_program(WINE_PROGRAM NAMES wine wine64)
if(WINE_PROGRAM)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_PROGRAM})
endif()

# pkg-config looks in the Windows sysroot only, so no Linux library is taken for the target.
find_program(PKG_CONFIG_EXECUTABLE NAMES ${MINGW_TRIPLET}-pkg-config)
