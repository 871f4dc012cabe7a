# Cross-compiles the 32-bit test programs that run the shipped deliverables under 32-bit
# Wine. They use std::thread and GoogleTest-style helpers, so they take the posix thread
# model; like the deliverables they are plain i686 code, so that they run on an emulated
# CPU without SSE2. Wine provides everything they import.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(HV_OBJDUMP i686-w64-mingw32-objdump)
set(CMAKE_C_FLAGS_INIT "-march=i686 -mtune=generic -mfpmath=387 -mno-sse")
set(CMAKE_CXX_FLAGS_INIT "-march=i686 -mtune=generic -mfpmath=387 -mno-sse")
