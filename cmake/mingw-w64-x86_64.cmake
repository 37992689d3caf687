# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64), and runs
# the built programs (tests, test discovery) under wine when it is installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TALVO_MINGW_TRIPLE x86_64-w64-mingw32)
# The posix thread model, whatever the system's default: GoogleTest needs std::mutex, which the
# win32 model of GCC 12 lacks. Linked statically, it adds no DLL.
find_program(CMAKE_CXX_COMPILER NAMES ${TALVO_MINGW_TRIPLE}-g++-posix REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${TALVO_MINGW_TRIPLE}-gcc-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${TALVO_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TALVO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(TALVO_WINE NAMES wine wine64)
if(TALVO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${TALVO_WINE}")
endif()
