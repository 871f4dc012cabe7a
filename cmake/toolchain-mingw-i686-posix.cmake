# Cross-compiles the 32-bit test programs that run the shipped deliverables under 32-bit
# Wine: the deliverables' toolchain, but the posix thread model, since the test programs
# use std::thread (Wine provides everything it imports), and the newer Windows headers.
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-i686.cmake)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
unset(HV_WIN32_WINNT)
