# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (posix threads, for std::thread
# and std::mutex).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TIDEWELL_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TIDEWELL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TIDEWELL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TIDEWELL_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TIDEWELL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# One .exe that needs no DLL beside it: the C++ runtime and the threads library linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
