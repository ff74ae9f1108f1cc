# Cross-compiles zirvon.exe for 64-bit Windows with Debian's mingw-w64
# (package g++-mingw-w64-x86-64). Programs are linked statically, so they
# need no DLLs beside them, and run under wine64 for the tests.
set(ZIRVON_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# ctest and GoogleTest's test discovery run the Windows programs under Wine
# (wine-run.sh), in a Wine prefix of the build's own.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${CMAKE_BINARY_DIR}/wineprefix)
