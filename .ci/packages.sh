#!/usr/bin/env bash
# The install rules and both packages, from the builds the earlier steps made (build/ and the
# two Windows builds): `cmake --install` gives the files and a gzipped manual page that renders
# without a warning; the .deb holds what it should, with dependencies found by dpkg-shlibdeps and
# a changelog for its version, passes lintian with no error or warning, installs, runs from
# /usr/bin with its bash completion in place, and removes cleanly; the Windows zip holds both executables' folders,
# README.md and LICENSE. Installing the .deb needs root (CI runs as root).
set -euo pipefail
cd "$(dirname "$0")/.."

fail() { echo "packages: $*" >&2; exit 1; }
# expect_lines WHAT TEXT LINE...: each LINE is a whole line of TEXT.
expect_lines() {
  local what=$1 text=$2 line
  shift 2
  for line in "$@"; do
    grep -qxF -- "$line" <<<"$text" || fail "$what lacks '$line'; it holds:"$'\n'"$text"
  done
}

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)
[ -n "$version" ] || fail "build/ is not configured"

# cmake --install
stage=build/install-check
rm -rf "$stage"
cmake --install build --prefix "$stage" >/dev/null
installed=$(cd "$stage" && find . -type f | sort)
expect_lines "cmake --install" "$installed" ./bin/DarvEx ./share/man/man1/DarvEx.1.gz \
  ./share/bash-completion/completions/DarvEx ./share/doc/darvex/README.md \
  ./share/doc/darvex/LICENSE ./share/doc/darvex/copyright ./share/doc/darvex/changelog.gz
warnings=$(gzip -dc "$stage/share/man/man1/DarvEx.1.gz" | groff -man -Tutf8 -ww -z 2>&1)
[ -z "$warnings" ] || fail "groff warns on the manual page:"$'\n'"$warnings"
MANWIDTH=80 man -l "$stage/share/man/man1/DarvEx.1.gz" | grep -q "^DarvEx $version " \
  || fail "man -l does not render the manual page of version $version"

# The .deb
rm -rf build/packages
cpack --preset deb >/dev/null
deb=build/packages/darvex_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "$deb was not made"
info=$(dpkg-deb -I "$deb")
echo "$info"
expect_lines "$deb's control" "$info" " Package: darvex" " Version: $version"
for library in zlib1g libdeflate0 libstdc++6; do
  grep -q "^ Depends:.* $library " <<<"$info" || fail "$deb does not depend on $library"
done
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
expect_lines "$deb" "$contents" ./usr/bin/DarvEx ./usr/share/man/man1/DarvEx.1.gz \
  ./usr/share/bash-completion/completions/DarvEx ./usr/share/doc/darvex/README.md \
  ./usr/share/doc/darvex/LICENSE ./usr/share/doc/darvex/copyright \
  ./usr/share/doc/darvex/changelog.gz
changelog_version=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/darvex/changelog.gz \
  | gzip -dc | dpkg-parsechangelog -l - -S Version)
[ "$changelog_version" = "$version" ] || fail "$deb's changelog is for version '$changelog_version'"
# Info and pedantic tags are shown but allowed.
lintian --fail-on error,warning --tag-display-limit 0 --display-info "$deb" \
  || fail "lintian finds errors or warnings in $deb"

if dpkg -s darvex >/dev/null 2>&1; then fail "darvex is installed already; not touching it"; fi
dpkg -i "$deb"
/usr/bin/DarvEx --version | head -n 1 | grep -qxF "DarvEx $version" || fail "/usr/bin/DarvEx --version"
/usr/bin/DarvEx --version
bash -c 'source /usr/share/bash-completion/completions/DarvEx && complete -p DarvEx' \
  | grep -qx 'complete -F _DarvEx DarvEx' || fail "the installed bash completion does not register DarvEx"
dpkg -r darvex
if dpkg -s darvex >/dev/null 2>&1 || [ -e /usr/bin/DarvEx ] || [ -e /usr/share/doc/darvex ] \
  || [ -e /usr/share/bash-completion/completions/DarvEx ]; then
  fail "dpkg -r darvex left the package or its files behind"
fi

# The Windows zip, from build-windows-x86_64/ with build-windows-i686/ in it.
rm -rf build-windows-x86_64/packages
cpack --preset windows-zip >/dev/null
zip=build-windows-x86_64/packages/DarvEx-$version-windows.zip
[ -f "$zip" ] || fail "$zip was not made"
entries=$(unzip -Z1 "$zip" | sort)
unzip -l "$zip"
top=DarvEx-$version-windows
expect_lines "$zip" "$entries" "$top/i686/DarvEx.exe" "$top/x86_64/DarvEx.exe" "$top/README.md" "$top/LICENSE"
echo "packages: $deb and $zip are as they should be"
