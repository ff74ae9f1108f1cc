# Cross-compiles zirvon.exe for 64-bit Windows with Debian's mingw-w64
# (package g++-mingw-w64-x86-64). Programs are linked statically, so they
# need no DLLs beside them, and run under wine64 for the tests.
set(ZIRVON_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# ctest and GoogleTest's test discovery run the Windows programs under Wine,
# in a Wine prefix of the build's own.
find_program(ZIRVON_WINE64 wine64 HINTS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(ZIRVON_WINE64)
    set(CMAKE_CROSSCOMPILING_EMULATOR
        env WINEDEBUG=-all WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix ${ZIRVON_WINE64})
endif()
