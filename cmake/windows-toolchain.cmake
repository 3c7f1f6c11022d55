# Cross-compiling for Windows with mingw-w64 (posix thread model), on Debian:
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/windows-toolchain.cmake -DVOLTARESCA_WINDOWS_ARCH=x86_64
#         -DVOLTARESCA_WINDOWS_PREFIX=<dependency prefix> ...
# scripts/build-windows passes both and builds the prefix (static libraries) with this file too.
# VOLTARESCA_WINDOWS_ARCH is x86_64 or i686; the 32-bit build keeps its floating point in SSE
# registers (as x86_64 does) so that both compute the same pictures.
set(CMAKE_SYSTEM_NAME Windows)

if(NOT VOLTARESCA_WINDOWS_ARCH)
  set(VOLTARESCA_WINDOWS_ARCH "$ENV{VOLTARESCA_WINDOWS_ARCH}")
endif()
if(NOT VOLTARESCA_WINDOWS_ARCH)
  set(VOLTARESCA_WINDOWS_ARCH x86_64)
endif()
if(NOT VOLTARESCA_WINDOWS_ARCH MATCHES "^(x86_64|i686)$")
  message(FATAL_ERROR "VOLTARESCA_WINDOWS_ARCH is '${VOLTARESCA_WINDOWS_ARCH}': use x86_64 or i686")
endif()
if(NOT VOLTARESCA_WINDOWS_PREFIX)
  set(VOLTARESCA_WINDOWS_PREFIX "$ENV{VOLTARESCA_WINDOWS_PREFIX}")
endif()
# try_compile projects configure with this file again: hand both values on.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VOLTARESCA_WINDOWS_ARCH VOLTARESCA_WINDOWS_PREFIX)

set(CMAKE_SYSTEM_PROCESSOR ${VOLTARESCA_WINDOWS_ARCH})
set(triple ${VOLTARESCA_WINDOWS_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_AR /usr/bin/${triple}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB /usr/bin/${triple}-ranlib CACHE FILEPATH "")

if(VOLTARESCA_WINDOWS_ARCH STREQUAL "i686")
  set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
  set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
endif()
# Everything static, the C and C++ runtimes and winpthreads included: the programs import only
# the system's own DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

set(CMAKE_FIND_ROOT_PATH /usr/${triple} ${VOLTARESCA_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config reads the prefix only, with the private libraries of each module (static linking).
if(VOLTARESCA_WINDOWS_PREFIX)
  set(ENV{PKG_CONFIG_LIBDIR} "${VOLTARESCA_WINDOWS_PREFIX}/lib/pkgconfig:${VOLTARESCA_WINDOWS_PREFIX}/share/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
  set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
endif()
set(PKG_CONFIG_ARGN --static CACHE STRING "Arguments to supply to pkg-config")

# Test programs run under Wine (64-bit only: these machines cannot run 32-bit Linux programs,
# so the i686 build is built but not run).
if(VOLTARESCA_WINDOWS_ARCH STREQUAL "x86_64")
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run)
endif()
