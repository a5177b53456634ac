# Shared part of the Windows cross builds with Debian's mingw-w64 g++ (posix
# thread model); the including file sets VORZLE_MINGW_TRIPLE and the
# processor. Test programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${VORZLE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORZLE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VORZLE_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VORZLE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
find_program(WINE_PROGRAM wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_PROGRAM})
