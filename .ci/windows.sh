#!/usr/bin/env bash
# Windows builds: builds libdeflate for both MinGW-w64 targets from Debian's source package,
# cross-builds DarvEx.exe and darvex.dll for i686 and x86_64 (warnings as errors), checks that
# each executable is a standalone, stripped PE executable of its width with its manifest,
# libdeflate linked in and (32-bit, the DLL too) no import newer than Windows XP, and runs the black-box tests against the x86_64 one
# under wine64. The i686 one is checked but never run: these machines' kernels run no 32-bit
# code. The test programs are the native ones in build/.
set -euo pipefail
cd "$(dirname "$0")/.."

# The native build comes first: its configure step finds wine64 (DARVEX_WINE64), which these
# checks and the black-box tests use.
CXXFLAGS=-Werror cmake --preset default >/dev/null
WINE=$(sed -n 's/^DARVEX_WINE64:FILEPATH=//p' build/CMakeCache.txt)
[[ "$WINE" != *-NOTFOUND ]] || WINE=""
for tool in i686-w64-mingw32-g++ x86_64-w64-mingw32-g++ i686-w64-mingw32-windres x86_64-w64-mingw32-windres \
            "${WINE:-wine64}" dpkg-source localedef; do
  command -v "$tool" >/dev/null || { echo "windows: $tool is missing (see doc/windows.md)" >&2; exit 1; }
done
# The code page 932 tests generate a Japanese locale from the locales package's sources.
[ -f /usr/share/i18n/locales/ja_JP ] || { echo "windows: the locales package is missing" >&2; exit 1; }

fail() { echo "windows: $*" >&2; exit 1; }

# Static libdeflate for both targets in build-libdeflate/ (the Debian mirror is the only network).
bash cmake/build-libdeflate-mingw.sh i686 x86_64

# Fresh, so that -Werror reaches every compile and the inflater is looked for again.
for target in i686 x86_64; do
  CXXFLAGS=-Werror cmake --workflow --preset "windows-$target" --fresh
done

# expect_pe TARGET FORMAT: the executable has the PE format FORMAT and imports only DLLs that
# every Windows has (zlib, libdeflate and the C++ runtime are linked in).
expect_pe() {
  local exe="build-windows-$1/DarvEx.exe" objdump="$1-w64-mingw32-objdump"
  "$objdump" -f "$exe" | grep -q "file format $2\$" || fail "$exe is not $2"
  local imports
  imports=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | sort | tr '\n' ' ')
  [ "$imports" = "KERNEL32.dll msvcrt.dll " ] || fail "$exe imports $imports"
  echo "windows: $exe is $2, imports $imports"
}

# expect_release TARGET: the executable carries its application manifest (resource type 24,
# RT_MANIFEST, ID 1) asking for asInvoker, long paths and the supported systems, has no debug
# sections, and its link map shows libdeflate's inflater linked in.
expect_release() {
  local dir="build-windows-$1" exe="build-windows-$1/DarvEx.exe" tools="$1-w64-mingw32"
  "$tools-objdump" -p "$exe" | awk '
      /Entry: ID: 0x000018/ { type = 1; next }
      type && /Entry: ID:/ { found = /ID: 0x000001,/; exit }
      END { exit !found }' || fail "$exe has no manifest resource (type 24, ID 1)"
  "$tools-objcopy" -O binary --only-section=.rsrc "$exe" "$dir/resources.bin"
  grep -aq 'requestedExecutionLevel level="asInvoker"' "$dir/resources.bin" || fail "$exe: manifest without asInvoker"
  grep -aq '<longPathAware[^>]*>true</longPathAware>' "$dir/resources.bin" || fail "$exe: manifest without longPathAware"
  [ "$(grep -ao '<supportedOS Id=' "$dir/resources.bin" | wc -l)" = 5 ] || fail "$exe: manifest without the five supportedOS"
  if "$tools-objdump" -h "$exe" | grep -q ' \.debug'; then fail "$exe has debug sections"; fi
  grep -q 'libdeflate\.a(zlib_decompress\.o)' "$dir/DarvEx.map" || fail "$exe: no libdeflate in its link map"
  echo "windows: $exe has its manifest, no debug sections, libdeflate ($(wc -c <"$exe") bytes)"
}

# expect_dll TARGET: darvex.dll imports only what every Windows has, as the executable does, and
# exports the C API's functions and nothing else.
expect_dll() {
  local dll="build-windows-$1/darvex.dll" objdump="$1-w64-mingw32-objdump" imports exports
  imports=$("$objdump" -p "$dll" | sed -n 's/^\s*DLL Name: //p' | sort | tr '\n' ' ')
  [ "$imports" = "KERNEL32.dll msvcrt.dll " ] || fail "$dll imports $imports"
  exports=$("$objdump" -p "$dll" | sed -n 's/^\s*\[ *[0-9]*\] \([A-Za-z_][A-Za-z0-9_]*\)$/\1/p')
  grep -qx darvex_open <<<"$exports" || fail "$dll does not export darvex_open"
  if grep -vq '^darvex_' <<<"$exports"; then fail "$dll exports more than darvex_*: $exports"; fi
  echo "windows: $dll imports $imports, exports $(wc -l <<<"$exports") darvex_* functions"
}

expect_pe i686 pei-i386
expect_pe x86_64 pei-x86-64
expect_dll i686
expect_dll x86_64
expect_release i686
expect_release x86_64
bash .ci/check-xp-imports.sh build-windows-i686/DarvEx.exe
bash .ci/check-xp-imports.sh build-windows-i686/darvex.dll

# The test programs are native; the wine test preset points them at the x86_64 DarvEx.exe.
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
version="$("$WINE" build-windows-x86_64/DarvEx.exe --version | tr -d '\r')" || status=$?
if grep -q '^inflater: libdeflate ' <<<"$version"; then
  echo "windows: build-windows-x86_64/DarvEx.exe reports $(grep '^inflater: ' <<<"$version")"
else
  echo "windows: build-windows-x86_64/DarvEx.exe --version does not report libdeflate: $version" >&2
  status=1
fi
ctest --preset wine || status=$?
"$WINESERVER" -k || true
"$WINESERVER" -w
exit "$status"
