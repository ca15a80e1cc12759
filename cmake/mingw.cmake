# Cross toolchain for Windows with the win32 thread model: it links no winpthreads, whose imports
# (thread suspension and contexts, the system time) antivirus heuristics flag. Threads come from
# platform/threads.h instead. Included by the toolchain file of each architecture, which sets
# QUORVANE_MINGW_ARCH and QUORVANE_WINE.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QUORVANE_MINGW_ARCH})
set(CMAKE_C_COMPILER ${QUORVANE_MINGW_ARCH}-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER ${QUORVANE_MINGW_ARCH}-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER ${QUORVANE_MINGW_ARCH}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QUORVANE_MINGW_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QUORVANE_WINE})
