# Cross-compiling the same sources for 64-bit Windows. The products are 32-bit;
# this build lets the tests run under 64-bit Wine on machines that cannot
# execute 32-bit programs (see tools/test.sh).
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
