# A 64-bit build of the same sources, for test benches whose kernel runs no
# 32-bit programs (tools/host-arch.sh).
set(QM_MINGW_TRIPLE x86_64-w64-mingw32)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-posix.cmake")
