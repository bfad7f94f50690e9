#!/usr/bin/env bash
# Builds a static libdeflate for each MinGW-w64 target, from Debian's libdeflate source package.
#
#   cmake/build-libdeflate-mingw.sh [i686] [x86_64]      (both when none is named)
#
# The source is fetched with `apt-get source` through an apt configuration of this script's
# own: a sources list with one deb-src line for the Debian mirror this machine already uses,
# and state, cache and log directories under build-libdeflate/apt. The system's apt
# configuration is read (for the mirror and any proxy) and never changed; none of its hooks run.
# Each target's library lands in build-libdeflate/<triplet>/{include,lib}, where the toolchain
# files in cmake/toolchains/ look for it. A target already built there is left as it is.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
out="${DARVEX_LIBDEFLATE_BUILD:-$root/build-libdeflate}"
apt_dir="$out/apt"

say() { echo "build-libdeflate: $*" >&2; }

codename() {
  # shellcheck disable=SC1091
  (. /etc/os-release && echo "${VERSION_CODENAME:-}")
}

# existing_files ARRAY PATH...: sets ARRAY to the PATHs that are files (unmatched globs are not).
existing_files() {
  local -n found="$1"
  shift
  for path in "$@"; do [ -f "$path" ] && found+=("$path"); done
  return 0
}

# The unpacked source directory under $1, or nothing.
unpacked_source() {
  for dir in "$1"/libdeflate-*/; do [ -d "$dir" ] && echo "${dir%/}" && return; done
  return 0
}

# "<uri> <keyring>" of the first apt source that serves the suite $1 (keyring may be empty):
# deb822 stanzas in *.sources, then one-line entries in sources.list and *.list.
mirror_of_suite() {
  local suite="$1"
  local files=()
  existing_files files /etc/apt/sources.list.d/*.sources
  if [ ${#files[@]} -gt 0 ]; then
    awk -v suite="$suite" '
      function field(line) { sub(/^[^:]*:[ \t]*/, "", line); return line }
      function stanza_end() {
        if (!done && tolower(enabled) != "no" && (" " types " ") ~ / deb / && (" " suites " ") ~ (" " suite " ") &&
            uris != "") {
          split(uris, uri, /[ \t]+/)
          print uri[1], (keyring ~ /^\//) ? keyring : ""
          done = 1
        }
        types = uris = suites = keyring = enabled = ""
      }
      FNR == 1 { stanza_end() }
      /^[ \t]*#/ { next }
      /^[ \t]*$/ { stanza_end(); next }
      tolower($0) ~ /^types:/ { types = field($0) }
      tolower($0) ~ /^uris:/ { uris = field($0) }
      tolower($0) ~ /^suites:/ { suites = field($0) }
      tolower($0) ~ /^signed-by:/ { keyring = field($0) }
      tolower($0) ~ /^enabled:/ { enabled = field($0) }
      END { stanza_end() }
    ' "${files[@]}" | head -n 1
  fi
  files=()
  existing_files files /etc/apt/sources.list /etc/apt/sources.list.d/*.list
  if [ ${#files[@]} -gt 0 ]; then
    awk -v suite="$suite" '
      $1 != "deb" { next }
      {
        keyring = ""; i = 2
        if ($2 ~ /^\[/) {
          while (i <= NF) {
            if ($i ~ /^\[?signed-by=/) { keyring = $i; sub(/^\[?signed-by=/, "", keyring); sub(/\]$/, "", keyring) }
            if ($i ~ /\]$/) { i++; break }
            i++
          }
        }
        if ($(i + 1) == suite) { print $i, keyring; exit }
      }
    ' "${files[@]}" | head -n 1
  fi
}

# Writes the private apt configuration and sources list.
write_apt_config() {
  local suite mirror keyring
  suite="$(codename)"
  [ -n "$suite" ] || { say "cannot tell this system's Debian release (/etc/os-release)"; exit 1; }
  read -r mirror keyring < <(mirror_of_suite "$suite" | head -n 1; echo) || true
  mirror="${DARVEX_DEBIAN_MIRROR:-${mirror:-http://deb.debian.org/debian}}"
  keyring="${keyring:-/usr/share/keyrings/debian-archive-keyring.gpg}"
  mkdir -p "$apt_dir"/{etc/apt.conf.d,etc/sources.list.d,etc/preferences.d,state/lists/partial,cache/archives/partial,log}
  : >"$apt_dir/state/status"
  echo "deb-src [signed-by=$keyring] $mirror $suite main" >"$apt_dir/etc/sources.list"
  {
    echo "Dir::Etc::Parts \"$apt_dir/etc/apt.conf.d\";"
    echo "Dir::Etc::SourceList \"$apt_dir/etc/sources.list\";"
    echo "Dir::Etc::SourceParts \"$apt_dir/etc/sources.list.d\";"
    echo "Dir::Etc::PreferencesParts \"$apt_dir/etc/preferences.d\";"
    echo "Dir::Etc::Preferences \"$apt_dir/etc/preferences\";"
    echo "Dir::State \"$apt_dir/state\";"
    echo "Dir::State::status \"$apt_dir/state/status\";"
    echo "Dir::Cache \"$apt_dir/cache\";"
    echo "Dir::Log \"$apt_dir/log\";"
    echo "APT::Sandbox::User \"$(id -un)\";"
    echo "Acquire::Languages \"none\";"
    # The system's proxy settings, so that the mirror is reached as the system reaches it.
    apt-config dump 2>/dev/null | grep -E '^Acquire::[a-z]+::Proxy' || true
  } >"$apt_dir/apt.conf"
  say "source: $mirror $suite main"
}

private_apt() { APT_CONFIG="$apt_dir/apt.conf" "$@"; }

# Fetches and unpacks the source package once; prints its directory.
fetch_source() {
  local source_dir="$out/source" unpacked
  unpacked="$(unpacked_source "$source_dir")"
  if [ -n "$unpacked" ]; then
    echo "$unpacked"
    return
  fi
  write_apt_config
  private_apt apt-get -q -o APT::Get::List-Cleanup=false update >&2
  rm -rf "$source_dir" && mkdir -p "$source_dir"
  (cd "$source_dir" && private_apt apt-get -q source libdeflate >&2)
  unpacked="$(unpacked_source "$source_dir")"
  [ -n "$unpacked" ] || { say "apt-get source unpacked no libdeflate-*/ directory"; exit 1; }
  echo "$unpacked"
}

# Builds the static library for one target and installs header and library.
build_target() {
  local target="$1" source="$2"
  local triplet="$target-w64-mingw32"
  local prefix="$out/$triplet" work="$out/work/$triplet"
  command -v "$triplet-gcc" >/dev/null || { say "$triplet-gcc is missing (gcc-mingw-w64-${target/_/-})"; exit 1; }
  # An earlier build without the compressor or CRC-32 (-c needs both) is built again.
  local symbols
  symbols="$("$triplet-nm" "$prefix/lib/libdeflate.a" 2>/dev/null || true)"
  if [ -f "$prefix/include/libdeflate.h" ] && grep -q ' T _\?libdeflate_alloc_compressor$' <<<"$symbols" &&
    grep -q ' T _\?libdeflate_crc32$' <<<"$symbols"; then
    say "$triplet: already built in $prefix"
    return
  fi
  rm -rf "$work" && mkdir -p "$work" && cp -a "$source/." "$work/"
  # What the tool calls: zlib-wrapped compression and decompression, and CRC-32.
  make -C "$work" -j2 CC="$triplet-gcc" AR="$triplet-ar" libdeflatestatic.lib >&2
  mkdir -p "$prefix/include" "$prefix/lib"
  cp "$work/libdeflate.h" "$prefix/include/"
  cp "$work/libdeflatestatic.lib" "$prefix/lib/libdeflate.a"
  say "$triplet: libdeflate $(sed -n 's/^#define LIBDEFLATE_VERSION_STRING[[:space:]]*"\(.*\)"/\1/p' "$prefix/include/libdeflate.h") in $prefix"
}

main() {
  local targets=("$@")
  [ ${#targets[@]} -gt 0 ] || targets=(i686 x86_64)
  for target in "${targets[@]}"; do
    case "$target" in
      i686 | x86_64) ;;
      *) say "unknown target '$target' (i686 or x86_64)"; exit 2 ;;
    esac
  done
  local source
  source="$(fetch_source)"
  for target in "${targets[@]}"; do build_target "$target" "$source"; done
}

main "$@"
