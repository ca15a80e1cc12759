# 32-bit Windows: the shipped program.
set(QUORVANE_MINGW_ARCH i686)
set(QUORVANE_WINE wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
