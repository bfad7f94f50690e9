#!/usr/bin/env bash
# The whole test suite with zlib as the only inflater: builds the tool with
# DARVEX_FAST_INFLATE=OFF in build-zlib-only/, checks that it says so, and runs every test on
# it, so that the tests pass with the fast path off as well as on (the main CI step, whose
# configure requires libdeflate). Builds the benchmark too, so that it keeps compiling.
set -euo pipefail
cd "$(dirname "$0")/.."

rm -rf build-zlib-only
cmake -S . -B build-zlib-only -G Ninja -DCMAKE_BUILD_TYPE=Release -DDARVEX_FAST_INFLATE=OFF \
  -DDARVEX_WERROR="${DARVEX_WERROR:-OFF}" -DDARVEX_REQUIRE_TESTS=ON >/dev/null
cmake --build build-zlib-only
cmake --build build-zlib-only --target darvex_bench
inflater=$(build-zlib-only/DarvEx --version | sed -n 's/^inflater: //p')
if [ "$inflater" != zlib ]; then
  echo "zlib_only: build-zlib-only/DarvEx uses '$inflater', not zlib" >&2
  exit 1
fi
ctest --test-dir build-zlib-only --output-on-failure
