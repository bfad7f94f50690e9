# 32-bit Linux (i686) on a 64-bit Debian, with g++-multilib and lib32z1-dev: the same 32-bit
# sizes, offsets and 4 GiB arithmetic as the 32-bit Windows executable, in a program that
# qemu-i386 (qemu-user) runs where the kernel runs no 32-bit code. zlib is the only inflater:
# Debian's libdeflate has no 32-bit development package outside multiarch.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_CXX_COMPILER g++)
# -m32 goes into CXXFLAGS: where the environment sets CXXFLAGS (CI's -Werror), CMake's first
# compiler checks take those alone and would leave out a CMAKE_CXX_FLAGS_INIT.
if(NOT "$ENV{CXXFLAGS}" MATCHES "(^| )-m32( |$)")
  set(ENV{CXXFLAGS} "-m32 $ENV{CXXFLAGS}")
endif()
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
# zlib from /usr/lib32 (lib32z1-dev); its header is zlib1g-dev's, shared by both widths.
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(FIND_LIBRARY_USE_LIB32_PATHS ON)
