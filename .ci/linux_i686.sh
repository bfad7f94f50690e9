#!/usr/bin/env bash
# The 32-bit build, run: the tool built for 32-bit Linux (preset linux-i686: -m32 with
# g++-multilib, zlib only from lib32z1-dev), which has the 32-bit Windows executable's sizes,
# offsets and 4 GiB arithmetic, and the black-box tests (the native programs in build/) run
# against it under qemu-i386, Debian's qemu-user, since these machines' kernels run no 32-bit
# code. Where qemu-i386 is missing or cannot run the build, says so and skips.
set -euo pipefail
cd "$(dirname "$0")/.."

skip() {
  echo "linux i686: $*: skipped"
  exit 0
}

command -v qemu-i386 >/dev/null || skip "qemu-i386 is not installed (Debian's qemu-user)"
for tool in g++ file; do
  command -v "$tool" >/dev/null || { echo "linux i686: $tool is missing" >&2; exit 1; }
done

# Fresh, so that -Werror reaches every compile.
CXXFLAGS=-Werror cmake --workflow --preset linux-i686 --fresh
exe=build-linux-i686/DarvEx
file -b "$exe" | grep -q '^ELF 32-bit LSB .*Intel 80386' || { echo "linux i686: $exe is not a 32-bit x86 program" >&2; exit 1; }
version=$(qemu-i386 -L / "$exe" --version 2>&1) || skip "qemu-i386 cannot run $exe ($version)"
echo "linux i686: $exe under qemu-i386 says: $(tr '\n' ' ' <<<"$version")"

# The test programs are native; the qemu-i386 test preset points them at the 32-bit tool.
CXXFLAGS=-Werror cmake --preset default >/dev/null
cmake --build --preset default
ctest --preset qemu-i386
