#!/usr/bin/env bash
# The inflater's two paths: checks that the default build uses libdeflate, then builds the
# tool with zlib alone (DARVEX_FAST_INFLATE=OFF) and runs the whole test suite on it, so that
# the tests pass with the fast path on (the main CI step) and off. Builds the benchmark too.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! grep -q '^DARVEX_LIBDEFLATE_LINKS:INTERNAL=1$' build/CMakeCache.txt; then
  echo "speed: the default build does not use libdeflate" >&2
  exit 1
fi

rm -rf build-zlib-only
CXXFLAGS=-Werror cmake -S . -B build-zlib-only -DCMAKE_BUILD_TYPE=Release -DDARVEX_FAST_INFLATE=OFF \
  | grep 'DarvEx inflater: zlib only'
cmake --build build-zlib-only -j2
cmake --build build-zlib-only -j2 --target darvex_bench
ctest --test-dir build-zlib-only -j2 --output-on-failure
