# Building for the browser (WebAssembly, WebGL 2) with Debian's Emscripten:
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/web-toolchain.cmake -DVOLTARESCA_WEB_PREFIX=<dependency prefix> ...
# scripts/build-web passes both and builds the prefix (static libraries, scripts/web-deps).
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

if(NOT VOLTARESCA_WEB_PREFIX)
  set(VOLTARESCA_WEB_PREFIX "$ENV{VOLTARESCA_WEB_PREFIX}")
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VOLTARESCA_WEB_PREFIX)
list(APPEND CMAKE_FIND_ROOT_PATH ${VOLTARESCA_WEB_PREFIX})

# pkg-config reads the prefix only, with the private libraries of each module (static linking).
if(VOLTARESCA_WEB_PREFIX)
  set(ENV{PKG_CONFIG_LIBDIR} "${VOLTARESCA_WEB_PREFIX}/lib/pkgconfig:${VOLTARESCA_WEB_PREFIX}/share/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
  set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
endif()
set(PKG_CONFIG_ARGN --static CACHE STRING "Arguments to supply to pkg-config")
