# Cross toolchain: Windows through mingw-w64 with the posix thread model, so that std::thread,
# std::mutex and std::condition_variable work. Runtimes are linked statically into every program
# and library.
#
# TARVO_ARCH picks the target: i686 (the product, 32-bit Windows) or x86_64 (64-bit Windows, for
# machines whose kernel cannot run 32-bit programs and so cannot run 32-bit Wine).
if(NOT TARVO_ARCH AND DEFINED ENV{TARVO_ARCH})
  set(TARVO_ARCH "$ENV{TARVO_ARCH}")
endif()
if(NOT TARVO_ARCH)
  set(TARVO_ARCH i686)
endif()
if(TARVO_ARCH STREQUAL "i686")
  set(CMAKE_SYSTEM_PROCESSOR x86)
elseif(TARVO_ARCH STREQUAL "x86_64")
  set(CMAKE_SYSTEM_PROCESSOR AMD64)
else()
  message(FATAL_ERROR "TARVO_ARCH must be i686 or x86_64, not '${TARVO_ARCH}'")
endif()
set(TARVO_ARCH "${TARVO_ARCH}" CACHE STRING "Windows target: i686 or x86_64")
set(CMAKE_SYSTEM_NAME Windows)

set(TARVO_CROSS_TRIPLE ${TARVO_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${TARVO_CROSS_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARVO_CROSS_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TARVO_CROSS_TRIPLE}-windres)
set(CMAKE_AR ${TARVO_CROSS_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${TARVO_CROSS_TRIPLE}-ranlib CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${TARVO_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# The cross-built dependency prefix (scripts/deps) is searched like a second sysroot.
if(NOT TARVO_DEPS_PREFIX AND DEFINED ENV{TARVO_DEPS_PREFIX})
  set(TARVO_DEPS_PREFIX "$ENV{TARVO_DEPS_PREFIX}")
endif()
if(TARVO_DEPS_PREFIX)
  list(APPEND CMAKE_FIND_ROOT_PATH "${TARVO_DEPS_PREFIX}")
  list(APPEND CMAKE_PREFIX_PATH "${TARVO_DEPS_PREFIX}")
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TARVO_DEPS_PREFIX TARVO_ARCH)

# Our own programs run under Wine (tests, try_run); the dependency build turns this off.
if(NOT TARVO_NO_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run")
endif()
