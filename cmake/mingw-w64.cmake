# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the posix
# thread model, which std::thread and std::mutex need). Programs and DLLs are
# linked statically, so they run on a bare Windows with nothing installed.
#
# Libraries are looked up in MinGW's own root (zlib from libz-mingw-w64-dev)
# and in the prefix scripts/windows-deps.sh fills: KELV_MINGW_PREFIX, else
# $KELV_MINGW_CACHE/x86_64-w64-mingw32, else
# ~/.cache/kelv-mingw/x86_64-w64-mingw32.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KELV_MINGW_HOST x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${KELV_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KELV_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${KELV_MINGW_HOST}-windres)

if(NOT KELV_MINGW_PREFIX)
  if(DEFINED ENV{KELV_MINGW_CACHE})
    set(KELV_MINGW_PREFIX $ENV{KELV_MINGW_CACHE}/${KELV_MINGW_HOST})
  else()
    set(KELV_MINGW_PREFIX $ENV{HOME}/.cache/kelv-mingw/${KELV_MINGW_HOST})
  endif()
endif()
set(KELV_MINGW_PREFIX ${KELV_MINGW_PREFIX} CACHE PATH "Cross-built libraries for MinGW-w64")
# try_compile projects see the prefix too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KELV_MINGW_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${KELV_MINGW_HOST} ${KELV_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config reads only the prefix's .pc files, never Linux's.
set(ENV{PKG_CONFIG_LIBDIR} ${KELV_MINGW_PREFIX}/lib/pkgconfig)
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
# zlib's import library sits beside the static one; take the static one.
set(ZLIB_LIBRARY /usr/${KELV_MINGW_HOST}/lib/libz.a CACHE FILEPATH "zlib, static")
