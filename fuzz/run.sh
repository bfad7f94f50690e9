#!/usr/bin/env bash
# Builds the libFuzzer target (clang preset `fuzz`, build-fuzz/) and fuzzes the whole tool
# from the generated seed corpus for the given number of seconds (default 180).
# Exits non-zero on any finding; the finding's input is left in build-fuzz/findings/.
#   fuzz/run.sh [seconds] [extra libFuzzer flags...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-180}
shift || true

cmake --workflow --preset fuzz >/dev/null

build=build-fuzz
corpus=$build/fuzz/corpus  # grows between runs; starts from the seeds
mkdir -p "$corpus" "$build/findings"
# Scratch files on a RAM disk where there is one: every run writes a 512 KiB table.bin.
if [ -z "${TMPDIR:-}" ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi

# -close_fd_mask=2 keeps the tool's stderr lines out of the log; crash reports still show.
"$build/fuzz/extract_fuzzer" "$corpus" "$build/fuzz/seeds" \
  -dict=fuzz/darvex.dict -max_total_time="$seconds" -max_len=16384 -timeout=10 \
  -rss_limit_mb=2048 -close_fd_mask=2 -print_final_stats=1 \
  -artifact_prefix="$build/findings/" "$@"
