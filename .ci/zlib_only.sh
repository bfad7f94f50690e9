#!/usr/bin/env bash
# The whole test suite with zlib as the only inflater: the workflow zlib-only builds the tool
# with DARVEX_FAST_INFLATE=OFF in build-zlib-only/, and the benchmark with it, so that it keeps
# compiling, and runs every test on it, so that the tests pass with the fast path off as well as
# on (the main CI step, whose configure requires libdeflate). Then checks that the tool says so.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --workflow --preset zlib-only --fresh
inflater=$(build-zlib-only/DarvEx --version | sed -n 's/^inflater: //p')
if [ "$inflater" != zlib ]; then
  echo "zlib_only: build-zlib-only/DarvEx uses '$inflater', not zlib" >&2
  exit 1
fi
echo "zlib_only: build-zlib-only/DarvEx inflates with zlib"
