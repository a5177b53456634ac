# The 32-bit Windows build: the plug-in as the instrument was first made.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VORZLE_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
