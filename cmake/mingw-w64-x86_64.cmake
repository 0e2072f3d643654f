# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (posix thread
# model, so std::thread and std::mutex work). Programs and DLLs link the GCC
# runtime statically: they need nothing beside the system's own DLLs.
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(dsp_mingw_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${dsp_mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${dsp_mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${dsp_mingw_triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${dsp_mingw_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Lets CTest run the test programs under wine where it is installed.
find_program(DSP_WINE_LOADER NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(DSP_WINE_LOADER)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${DSP_WINE_LOADER})
endif()
