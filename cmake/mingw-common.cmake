# Shared part of the MinGW-w64 toolchains: posix thread model (GoogleTest needs
# std::mutex), static runtime, programs run under wine64 through scripts/wine-run.
set(CMAKE_C_COMPILER ${ZV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZV_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
