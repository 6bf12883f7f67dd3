# Cross build for 64-bit Windows with Debian's MinGW-w64 (the POSIX thread model, which std::thread
# and std::mutex need). Everything the C++ runtime needs is linked in, so an .exe runs with
# nothing but Windows' own DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VARNHOLT_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VARNHOLT_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VARNHOLT_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VARNHOLT_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VARNHOLT_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -static also takes winpthread as a static library instead of libwinpthread-1.dll.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
