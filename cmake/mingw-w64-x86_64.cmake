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

# The Windows build of Aravis and its libraries (scripts/build-windows-deps.sh), when built:
# CAPTURE_WINDOWS_DEPS names its prefix, by default the one the script builds now.
if(NOT CAPTURE_WINDOWS_DEPS AND DEFINED ENV{CAPTURE_WINDOWS_DEPS})
    set(CAPTURE_WINDOWS_DEPS $ENV{CAPTURE_WINDOWS_DEPS})
endif()
if(NOT CAPTURE_WINDOWS_DEPS)
    execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../scripts/build-windows-deps.sh --print-prefix
                    OUTPUT_VARIABLE CAPTURE_WINDOWS_DEPS OUTPUT_STRIP_TRAILING_WHITESPACE
                    ERROR_QUIET)
endif()
set(CAPTURE_WINDOWS_DEPS ${CAPTURE_WINDOWS_DEPS} CACHE PATH
    "Prefix of the Windows build of Aravis and its libraries")
# Copied into each try_compile project, which sees this file again.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES CAPTURE_WINDOWS_DEPS)

# pkg-config looks in that prefix and the Windows sysroot only, so no Linux library is taken
# for the target. The prefix is one of the find roots too: CMake turns each library pkg-config
# names into a full path with find_library, which looks inside the roots only, and a library
# it did not find would reach the link as a bare name without its folder.
find_program(PKG_CONFIG_EXECUTABLE NAMES ${MINGW_TRIPLET}-pkg-config)
set(ENV{PKG_CONFIG_LIBDIR} /usr/${MINGW_TRIPLET}/lib/pkgconfig)
if(EXISTS ${CAPTURE_WINDOWS_DEPS}/lib/pkgconfig/aravis-0.8.pc)
    set(ENV{PKG_CONFIG_LIBDIR} ${CAPTURE_WINDOWS_DEPS}/lib/pkgconfig:$ENV{PKG_CONFIG_LIBDIR})
    list(APPEND CMAKE_FIND_ROOT_PATH ${CAPTURE_WINDOWS_DEPS})
endif()
