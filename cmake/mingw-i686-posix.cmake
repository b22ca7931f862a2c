# The shipped programs: 32-bit Windows.
set(QM_MINGW_TRIPLE i686-w64-mingw32)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-posix.cmake")
