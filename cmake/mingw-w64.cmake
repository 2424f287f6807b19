# What both Windows cross-builds share; the toolchain file of each processor sets
# CMAKE_SYSTEM_PROCESSOR and includes this. Debian's mingw-w64 g++, the -posix variant (it has
# std::thread and std::mutex). Everything links statically, so the programs need none of the
# toolchain's DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(QVX_MINGW_TRIPLE ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)

set(CMAKE_CXX_COMPILER ${QVX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QVX_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QVX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)
