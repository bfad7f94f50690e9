#!/usr/bin/env bash
# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer, then about three
# minutes of fuzzing from the seed corpus. Fails on any test failure or fuzz finding.
set -euo pipefail
cd "$(dirname "$0")/.."

rm -rf build-asan build-fuzz
cmake --workflow --preset asan
fuzz/run.sh 180
