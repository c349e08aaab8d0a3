# Cross-compiling the Windows program on Linux with mingw-w64.
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_PREFIX x86_64-w64-mingw32)
# The -posix variants: the default thread model lacks std::mutex and std::thread.
set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every executable stands alone: no libstdc++, libgcc or winpthread DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# The image libraries, built statically by scripts/windows-deps.sh into a
# cache outside the clone; pkg-config must see those and never the host's.
if(NOT DEFINED ENV{PARALLAXON_MINGW_DEPS})
  execute_process(COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/../scripts/windows-deps.sh --prefix
                  OUTPUT_VARIABLE mingw_deps OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(ENV{PARALLAXON_MINGW_DEPS} "${mingw_deps}")
endif()
if(NOT EXISTS $ENV{PARALLAXON_MINGW_DEPS}/lib/pkgconfig/libheif.pc)
  message(FATAL_ERROR "No JPEG, PNG and HEIC libraries for mingw-w64 in $ENV{PARALLAXON_MINGW_DEPS}: "
                      "run bash scripts/windows-deps.sh first")
endif()
list(APPEND CMAKE_FIND_ROOT_PATH $ENV{PARALLAXON_MINGW_DEPS})
set(ENV{PKG_CONFIG_LIBDIR} $ENV{PARALLAXON_MINGW_DEPS}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
