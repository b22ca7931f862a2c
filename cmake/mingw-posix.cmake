# Cross toolchain: Debian's mingw-w64 compilers of the posix thread model for
# QM_MINGW_TRIPLE. The win32 thread model lacks std::thread and std::mutex,
# which GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR "${QM_MINGW_TRIPLE}")

set(CMAKE_C_COMPILER ${QM_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QM_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QM_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${QM_MINGW_TRIPLE}-ar)
set(CMAKE_RANLIB ${QM_MINGW_TRIPLE}-ranlib)

set(CMAKE_FIND_ROOT_PATH /usr/${QM_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
