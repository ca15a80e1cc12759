# 64-bit Windows: the same program, for running under Wine where the kernel runs no 32-bit
# programs (see scripts/wine-build.sh).
set(QUORVANE_MINGW_ARCH x86_64)
set(QUORVANE_WINE /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
