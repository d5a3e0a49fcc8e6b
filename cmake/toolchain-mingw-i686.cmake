# Cross-compiling for 32-bit Windows with mingw-w64: the products' build.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
# SSE2 floating point (every x86 processor since 2003; current Windows requires it):
# the effects and the equalizer run several times faster than on the x87 unit.
# Callers outside our code (the system, other compilers) may hand over a stack
# aligned to 4 bytes only, so functions that need more realign it themselves.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
