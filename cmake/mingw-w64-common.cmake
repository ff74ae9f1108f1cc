# What both mingw-w64 toolchain files share; they set ZIRVON_MINGW_TRIPLET.
set(CMAKE_SYSTEM_NAME Windows)

# The "posix" flavour of the compilers has std::thread; static linking puts
# its thread library into the program with libstdc++ and libgcc.
set(CMAKE_C_COMPILER ${ZIRVON_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZIRVON_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ZIRVON_MINGW_TRIPLET}-windres)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

set(CMAKE_FIND_ROOT_PATH /usr/${ZIRVON_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
