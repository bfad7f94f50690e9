#!/usr/bin/env bash
# The install rules and the packages, from the builds the earlier steps made (build/ and the
# two Windows builds): `cmake --install` gives the files and a gzipped manual page that renders
# without a warning; the four .debs (darvex, libdarvex0, libdarvex-dev, python3-darvex) hold what
# they should, with dependencies found by dpkg-shlibdeps and a changelog for their version, pass
# lintian with no error or warning, install, and remove cleanly; installed, the tool runs from
# /usr/bin with its bash completion in place, the example and the C API's test build against the
# library through find_package and through pkg-config and run under AddressSanitizer, and the
# Python tests pass against the installed module; the Windows zip holds both processors' folders
# (DarvEx.exe, darvex.dll, its import library, the header), README.md and LICENSE. Installing
# the .debs needs root (CI runs as root).
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
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' build/CMakeCache.txt)
expect_lines "cmake --install" "$installed" ./bin/DarvEx ./share/man/man1/DarvEx.1.gz \
  ./share/bash-completion/completions/DarvEx ./share/doc/darvex/README.md \
  ./share/doc/darvex/LICENSE ./share/doc/darvex/copyright ./share/doc/darvex/changelog.gz \
  "./$libdir/libdarvex.so.$version" "./$libdir/libdarvex.a" ./include/darvex/darvex.h \
  "./$libdir/cmake/DarvEx/DarvExConfig.cmake" "./$libdir/cmake/DarvEx/DarvExConfigVersion.cmake" \
  "./$libdir/pkgconfig/darvex.pc" ./lib/python3/dist-packages/darvex/__init__.py
warnings=$(gzip -dc "$stage/share/man/man1/DarvEx.1.gz" | groff -man -Tutf8 -ww -z 2>&1)
[ -z "$warnings" ] || fail "groff warns on the manual page:"$'\n'"$warnings"
MANWIDTH=80 man -l "$stage/share/man/man1/DarvEx.1.gz" | grep -q "^DarvEx $version " \
  || fail "man -l does not render the manual page of version $version"

# The .debs
rm -rf build/packages
cpack --preset deb >/dev/null
arch=$(dpkg --print-architecture)
# deb_of PACKAGE [ARCH]: its file, which must have been made.
deb_of() {
  local deb=build/packages/${1}_${version}_${2:-$arch}.deb
  [ -f "$deb" ] || fail "$deb was not made"
  echo "$deb"
}
# expect_deb PACKAGE ARCH FILE...: the package's control names it and its version, it holds each
# FILE and its changelog is for this version; lintian finds no error or warning.
expect_deb() {
  local package=$1 deb info contents changelog_version
  deb=$(deb_of "$1" "$2")
  shift 2
  info=$(dpkg-deb -I "$deb")
  echo "$info"
  expect_lines "$deb's control" "$info" " Package: $package" " Version: $version"
  contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
  expect_lines "$deb" "$contents" "$@" "./usr/share/doc/$package/copyright" "./usr/share/doc/$package/changelog.gz"
  changelog_version=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO "./usr/share/doc/$package/changelog.gz" \
    | gzip -dc | dpkg-parsechangelog -l - -S Version)
  [ "$changelog_version" = "$version" ] || fail "$deb's changelog is for version '$changelog_version'"
  # Info and pedantic tags are shown but allowed.
  lintian --fail-on error,warning --tag-display-limit 0 --display-info "$deb" \
    || fail "lintian finds errors or warnings in $deb"
}
expect_deb darvex "$arch" ./usr/bin/DarvEx ./usr/share/man/man1/DarvEx.1.gz \
  ./usr/share/bash-completion/completions/DarvEx ./usr/share/doc/darvex/README.md ./usr/share/doc/darvex/LICENSE
expect_deb libdarvex0 "$arch" "./usr/$libdir/libdarvex.so.$version" "./usr/$libdir/libdarvex.so.0"
expect_deb libdarvex-dev "$arch" ./usr/include/darvex/darvex.h "./usr/$libdir/libdarvex.so" \
  "./usr/$libdir/libdarvex.a" "./usr/$libdir/cmake/DarvEx/DarvExConfig.cmake" \
  "./usr/$libdir/pkgconfig/darvex.pc"
expect_deb python3-darvex all ./usr/lib/python3/dist-packages/darvex/__init__.py
for package in darvex libdarvex0; do
  info=$(dpkg-deb -I "$(deb_of $package)")
  for library in zlib1g libdeflate0 libstdc++6; do
    grep -q "^ Depends:.* $library " <<<"$info" || fail "$package does not depend on $library"
  done
done

packages=(darvex libdarvex0 libdarvex-dev python3-darvex)
for package in "${packages[@]}"; do
  if dpkg -s "$package" >/dev/null 2>&1; then fail "$package is installed already; not touching it"; fi
done
dpkg -i "$(deb_of darvex)" "$(deb_of libdarvex0)" "$(deb_of libdarvex-dev)" "$(deb_of python3-darvex all)"
/usr/bin/DarvEx --version | head -n 1 | grep -qxF "DarvEx $version" || fail "/usr/bin/DarvEx --version"
/usr/bin/DarvEx --version
bash -c 'source /usr/share/bash-completion/completions/DarvEx && complete -p DarvEx' \
  | grep -qx 'complete -F _DarvEx DarvEx' || fail "the installed bash completion does not register DarvEx"

# Programs against the installed library, both ways, under AddressSanitizer: the example lists
# the example archive and prints an entry; the C API's test runs whole.
asan=(-fsanitize=address -fno-omit-frame-pointer)
users=build/library-users
rm -rf "$users"
CFLAGS="${asan[*]}" LDFLAGS="${asan[*]}" cmake -S examples -B "$users/cmake" -G Ninja \
  -DDARVEX_CAPI_TEST="$PWD/tests/capi/capi_test.c" >/dev/null
cmake --build "$users/cmake" >/dev/null
cc -std=c99 "${asan[@]}" -o "$users/list_and_read" examples/list_and_read.c $(pkg-config --cflags --libs darvex)
cc -std=c99 "${asan[@]}" -DDARVEX_VERSION="\"$(pkg-config --modversion darvex)\"" -o "$users/capi_test" \
  tests/capi/capi_test.c $(pkg-config --cflags --libs darvex zlib) -lpthread
cmake --build build --target example >/dev/null
for way in cmake .; do
  "$users/$way/list_and_read" build/example/example.dat readme.txt >"$users/readme.txt" 2>"$users/list.txt" \
    || fail "$users/$way/list_and_read failed: $(cat "$users/list.txt")"
  grep -q ' empty.cfg$' "$users/list.txt" || fail "$users/$way/list_and_read does not list the example"
  [ -s "$users/readme.txt" ] || fail "$users/$way/list_and_read printed no readme.txt"
  "$users/$way/capi_test" || fail "$users/$way/capi_test failed against the installed library"
done
# The Python tests against the installed module, found as an installed module is.
(cd /tmp && env -u DARVEX_LIBRARY -u PYTHONPATH /usr/bin/python3 -m pytest -q -p no:cacheprovider \
  "$OLDPWD/python/tests") || fail "the Python tests fail against the installed module"
/usr/bin/python3 -c 'import darvex, sys; sys.exit(darvex.__file__.startswith("/usr/lib/python3/dist-packages/") == False)' \
  || fail "python3 does not import the installed module"

# Purged: libdarvex0's postrm (CPack's ldconfig call) keeps it as config-files after a removal.
dpkg -P "${packages[@]}"
for package in "${packages[@]}"; do
  if dpkg -s "$package" >/dev/null 2>&1 || [ -e "/usr/share/doc/$package" ]; then
    fail "dpkg -P $package left the package or its files behind"
  fi
done
if [ -e /usr/bin/DarvEx ] || [ -e /usr/share/bash-completion/completions/DarvEx ] || [ -e /usr/include/darvex ] \
  || ls "/usr/$libdir"/libdarvex* >/dev/null 2>&1; then
  fail "dpkg -P left files behind"
fi

# The Windows zip, from build-windows-x86_64/ with build-windows-i686/ in it.
rm -rf build-windows-x86_64/packages
cpack --preset windows-zip >/dev/null
zip=build-windows-x86_64/packages/DarvEx-$version-windows.zip
[ -f "$zip" ] || fail "$zip was not made"
entries=$(unzip -Z1 "$zip" | sort)
unzip -l "$zip"
top=DarvEx-$version-windows
expect_lines "$zip" "$entries" "$top/README.md" "$top/LICENSE"
for processor in i686 x86_64; do
  expect_lines "$zip" "$entries" "$top/$processor/DarvEx.exe" "$top/$processor/darvex.dll" \
    "$top/$processor/libdarvex.dll.a" "$top/$processor/include/darvex/darvex.h"
done
echo "packages: the .debs ${packages[*]} and $zip are as they should be"
