# Cross-compiles for 32-bit Windows (see mingw-w64.cmake).
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
# Arithmetic in SSE registers, as on 64-bit: x87's wider intermediates round a resampled pixel
# differently now and then, and prepared pictures must be the same bytes on every platform.
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
