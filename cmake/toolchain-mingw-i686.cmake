# Cross-compiles for 32-bit Windows: the deliverables.
#
# The pilots' PCs set the floor: Windows XP SP3 on a Pentium III or an Athlon XP.
# - The win32 thread model: libstdc++ then synchronises with the system's own primitives
#   instead of the winpthreads library, which imports GetTickCount64 (Vista and later).
#   That model has no std::thread, std::mutex or std::condition_variable, so code built
#   here cannot use them by mistake: the Win32 shell uses threads, critical sections and
#   events.
# - Plain i686 code, floating point on the x87 unit: no SSE2 instruction anywhere.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(HV_OBJDUMP i686-w64-mingw32-objdump)
set(HV_NM i686-w64-mingw32-nm)
set(CMAKE_C_FLAGS_INIT "-march=i686 -mtune=generic -mfpmath=387 -mno-sse")
set(CMAKE_CXX_FLAGS_INIT "-march=i686 -mtune=generic -mfpmath=387 -mno-sse")
# Windows XP's headers: a function that XP lacks does not compile.
set(HV_WIN32_WINNT 0x0501)
