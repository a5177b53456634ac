# The 64-bit Windows build: the same instrument for 64-bit hosts.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VORZLE_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
