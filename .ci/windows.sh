#!/usr/bin/env bash
# Windows builds: cross-builds DarvEx.exe for i686 and x86_64 with MinGW-w64 (warnings as
# errors), checks that each is a standalone PE executable of its width, and runs the black-box
# tests against the x86_64 one under wine64. The i686 one is checked but never run: these
# machines' kernels run no 32-bit code. The test programs are the native ones in build/.
set -euo pipefail
cd "$(dirname "$0")/.."

WINE=/usr/lib/wine/wine64
for tool in i686-w64-mingw32-g++ x86_64-w64-mingw32-g++ "$WINE"; do
  command -v "$tool" >/dev/null || { echo "windows: $tool is missing (see README, Windows builds)" >&2; exit 1; }
done

# Fresh, so that -Werror reaches every compile.
for target in i686 x86_64; do
  CXXFLAGS=-Werror cmake --workflow --preset "windows-$target" --fresh
done

# expect_pe TARGET FORMAT: the executable has the PE format FORMAT and imports only DLLs that
# every Windows has (zlib and the C++ runtime are linked in).
expect_pe() {
  local exe="build-windows-$1/DarvEx.exe" objdump="$1-w64-mingw32-objdump"
  "$objdump" -f "$exe" | grep -q "file format $2\$" || { echo "windows: $exe is not $2" >&2; exit 1; }
  local imports
  imports=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | sort | tr '\n' ' ')
  [ "$imports" = "KERNEL32.dll msvcrt.dll " ] || { echo "windows: $exe imports $imports" >&2; exit 1; }
  echo "windows: $exe is $2, imports $imports"
}
expect_pe i686 pei-i386
expect_pe x86_64 pei-x86-64

# The test programs are native; the wine test preset points them at the x86_64 DarvEx.exe.
CXXFLAGS=-Werror cmake --preset default >/dev/null
cmake --build --preset default

# The first start creates the private prefix (several seconds); do it once, before the tests
# start in parallel. Wine's server is kept running for the whole test run: left to itself it
# exits a few seconds after its last client, and a test starting just then loses its
# connection ("recvmsg: Connection reset by peer").
export WINEPREFIX="$PWD/build-windows-x86_64/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINESERVER="$(dirname "$WINE")/wineserver"
mkdir -p "$WINEPREFIX"
"$WINESERVER" -k 2>/dev/null || true
"$WINESERVER" -p
"$WINE" wineboot --init >/dev/null 2>&1
status=0
ctest --preset wine || status=$?
"$WINESERVER" -k || true
"$WINESERVER" -w
exit "$status"
