# Cross-compiles zirvon.exe for 32-bit Windows with Debian's mingw-w64
# (package g++-mingw-w64-i686), linked statically. There is no emulator:
# the 32-bit programs are built and inspected, not run.
set(ZIRVON_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# SSE arithmetic instead of the x87 unit's 80-bit registers, so that the
# synthesizer's doubles round as in the 64-bit builds.
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
