#!/usr/bin/env bash
# check-xp-imports.sh EXE: fails when the 32-bit executable EXE imports a KERNEL32 function that
# Windows XP does not have, which would stop it from starting there.
#
# There is no XP export list on these machines, so two checks stand in for one:
#  - every imported function must be declared by the MinGW-w64 headers for an XP target
#    (_WIN32_WINNT 0x0501): they hold back most functions that came with Vista and later;
#  - none may be one of the later functions that those headers declare for XP all the same
#    (LATER_THAN_XP below, found by compiling a list of later functions for an XP target).
set -euo pipefail

exe="$1"
prefix=i686-w64-mingw32

LATER_THAN_XP="AddDllDirectory CreateRemoteThreadEx DeleteSynchronizationBarrier
  EnterSynchronizationBarrier FindFirstStreamW FindNextStreamW GetCurrentProcessorNumber
  GetDateFormatEx GetOverlappedResultEx GetSystemTimePreciseAsFileTime GetThreadId
  GetTimeFormatEx InitializeSynchronizationBarrier RaiseFailFastException RemoveDllDirectory
  ReOpenFile SetDefaultDllDirectories SetSearchPathMode SetThreadErrorMode
  SetThreadStackGuarantee Wow64DisableWow64FsRedirection Wow64RevertWow64FsRedirection"

# The functions EXE imports from KERNEL32.dll, one a line.
kernel32_imports() {
  "$prefix-objdump" -p "$exe" | awk -F'\t' '
    /DLL Name:/ { dll = $0; sub(/.*DLL Name: /, "", dll); next }
    /^$/ { dll = "" }
    toupper(dll) == "KERNEL32.DLL" && NF >= 3 && $3 ~ /^ *[0-9]+  / { split($3, part, / +/); print part[3] }'
}

names="$(kernel32_imports)"
[ -n "$names" ] || { echo "xp-imports: $exe imports nothing from KERNEL32.dll, or objdump failed" >&2; exit 1; }

failed=0
for name in $names; do
  for later in $LATER_THAN_XP; do
    if [ "$name" = "$later" ]; then
      echo "xp-imports: $exe imports $name, which Windows XP lacks" >&2
      failed=1
    fi
  done
done

probe="$(mktemp -d)"
trap 'rm -rf "$probe"' EXIT
{
  echo '#define WINVER 0x0501'
  echo '#define _WIN32_WINNT 0x0501'
  echo '#include <windows.h>'
  for name in $names; do echo "void *const import_$name = (void *)&$name;"; done
} >"$probe/imports.c"
if ! LC_ALL=C "$prefix-gcc" -c "$probe/imports.c" -o "$probe/imports.o" 2>"$probe/errors"; then
  sed -n "s/.*error: '\([A-Za-z0-9_]*\)' undeclared.*/\1/p" "$probe/errors" | sort -u | while read -r name; do
    echo "xp-imports: $exe imports $name, which the headers declare only for Windows Vista or later" >&2
  done
  grep -q "undeclared" "$probe/errors" || cat "$probe/errors" >&2
  failed=1
fi

[ "$failed" = 0 ] || exit 1
echo "xp-imports: $exe imports $(echo "$names" | wc -l) KERNEL32 functions, all in Windows XP"
