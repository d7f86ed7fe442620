# Cross-build for 32-bit x86 Windows with Debian's mingw-w64 (POSIX thread
# model, so that std::thread and std::mutex exist). The programs run under
# Wine here (scripts/wine-run).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(KB_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${KB_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KB_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KB_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KB_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

