# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix: the
# POSIX thread model, which std::thread and std::mutex need). Used by scripts/test --windows:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DK740_WITH_QT=OFF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(K740_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${K740_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${K740_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${K740_MINGW_PREFIX}-windres)

# Headers and libraries of the target only; programs (pkg-config, code generators) of the host.
set(CMAKE_FIND_ROOT_PATH /usr/${K740_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs carry the compiler's runtime (libstdc++, libgcc, winpthread) inside them, so
# that they run on a Windows without MinGW's DLLs beside them, and under Wine.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test programs run through Wine (ctest, gtest_discover_tests).
find_program(K740_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(K740_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${K740_WINE})
endif()
