#!/usr/bin/env bash
# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer, then under
# ThreadSanitizer (extraction runs on several threads; a race report fails the run that made
# it, and so the test), then about three minutes of fuzzing from the seed corpus. Fails on any
# test failure or fuzz finding.
set -euo pipefail
cd "$(dirname "$0")/.."

rm -rf build-asan build-tsan build-fuzz
cmake --workflow --preset asan
cmake --workflow --preset tsan
fuzz/run.sh 180
