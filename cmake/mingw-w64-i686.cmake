# Cross-builds for 32-bit Windows with Debian's mingw-w64 (the posix thread
# flavour, which has std::thread and std::mutex). Programs run under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(RERODADA_MINGW_TRIPLET i686-w64-mingw32)

set(CMAKE_C_COMPILER ${RERODADA_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RERODADA_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${RERODADA_MINGW_TRIPLET}-windres)

# Qt for Windows and GoogleTest for Windows are found through
# CMAKE_PREFIX_PATH; programs of the build machine (moc, rcc, uic) stay usable.
set(CMAKE_FIND_ROOT_PATH /usr/${RERODADA_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
