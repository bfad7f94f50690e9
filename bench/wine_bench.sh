#!/usr/bin/env bash
# The Windows build under Wine: build-windows-x86_64/DarvEx.exe at -j 1 and at its default job
# count on the real contents (the files darvex_bench selects, 2,000 and more), standard output
# to a file: Wine spends about a millisecond on each line flushed to /dev/null, which would
# hide what the jobs change. Each run extracts into a fresh directory, synced outside the
# timings; the figures are medians. Skips, with a note, when the executable or Wine is missing.
#
#   bench/wine_bench.sh BENCH EXE DIR [RUNS [REAL_MIB]]
#     BENCH: the native darvex_bench, which writes the real contents' archives to DIR
#     RUNS: runs of each job count (default 5); REAL_MIB: the contents' size (default 120)
set -euo pipefail

BENCH=$1 EXE=$2 DIR=$3 RUNS=${4:-5} REAL_MIB=${5:-120}
TARGET=0.70  # default jobs / -j 1
FEWEST_FILES=2000
# wine64 as the configure step found it (the bench_wine target passes it), else from PATH, else
# where Debian 12 puts it.
WINE=${DARVEX_WINE64:-$(command -v wine64 || echo /usr/lib/wine/wine64)}

if [ ! -f "$EXE" ]; then
  echo "wine bench: $EXE is not built (cmake --workflow --preset windows-x86_64): skipped"
  exit 0
fi
if [ -z "$WINE" ] || [ ! -x "$WINE" ]; then
  echo "wine bench: wine64 is not installed (apt-get install wine64): skipped"
  exit 0
fi
EXE=$(realpath "$EXE")
mkdir -p "$DIR"
DIR=$(realpath "$DIR")

# The private prefix of the Wine tests, one server kept running throughout.
# shellcheck source=wine_server.sh
source "$(dirname "$0")/wine_server.sh"
use_wine_prefix "$(dirname "$EXE")/wine-prefix"

rm -rf "$DIR/runs"
WRITTEN=$("$BENCH" --write-real "$DIR" "$REAL_MIB")
echo "$WRITTEN"
FILES=$(sed -n 's/^Wrote \([0-9]*\) files.*/\1/p' <<<"$WRITTEN")
mapfile -t ARCHIVES < <(sed -n 's/^Wrote .* as //p' <<<"$WRITTEN" | tr ' ' '\n')
if [ "$FILES" -lt "$FEWEST_FILES" ]; then
  echo "wine bench: only $FILES files; the target is for $FEWEST_FILES and more (raise REAL_MIB)"
fi
EXPECTED=$((FILES + ${#ARCHIVES[@]}))  # each archive's entries and its table.bin

# run_once LABEL RUN [OPTION...]: one timed extraction in a fresh directory; prints the
# seconds and the peak resident memory in KiB (0 without GNU time).
run_once() {
  local label=$1 run=$2 run_dir="$DIR/runs/$1-$2"
  shift 2
  mkdir -p "$run_dir"
  for archive in "${ARCHIVES[@]}"; do ln "$DIR/$archive" "$run_dir/$archive"; done
  local timer=()
  [ -x /usr/bin/time ] && timer=(/usr/bin/time -f %M -o "$run_dir/peak.txt")
  sync -f "$DIR"
  local start end
  start=$(date +%s%N)
  (cd "$run_dir" && "${timer[@]}" "$WINE" "$EXE" "$@" "${ARCHIVES[@]}" >stdout.txt) ||
    { echo "wine bench: DarvEx.exe $* exited with status $?" >&2; exit 1; }
  end=$(date +%s%N)
  sync -f "$DIR"
  local left
  left=$(find "$run_dir" -mindepth 2 -type f | wc -l)
  if [ "$left" -ne "$EXPECTED" ]; then
    echo "wine bench: $label left $left files, not $EXPECTED" >&2
    exit 1
  fi
  echo "$(( (end - start) / 1000 )) $(cat "$run_dir/peak.txt" 2>/dev/null || echo 0)"
}

# median: of the numbers on standard input, one a line.
median() {
  sort -n | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'
}

echo "Wine $("$WINE" --version), $FILES files in ${ARCHIVES[*]}, $RUNS run(s) of each, load average $(cut -d' ' -f1 /proc/loadavg)"
: >"$DIR/one.txt"
: >"$DIR/default.txt"
for ((run = 0; run < RUNS; ++run)); do
  # In turn, the first of the two changing each run.
  if ((run % 2 == 0)); then
    run_once j1 "$run" -j 1 >>"$DIR/one.txt"
    run_once default "$run" >>"$DIR/default.txt"
  else
    run_once default "$run" >>"$DIR/default.txt"
    run_once j1 "$run" -j 1 >>"$DIR/one.txt"
  fi
done
rm -rf "$DIR/runs"

ONE=$(cut -d' ' -f1 "$DIR/one.txt" | median)
ALL=$(cut -d' ' -f1 "$DIR/default.txt" | median)
awk -v one="$ONE" -v all="$ALL" -v target="$TARGET" \
  -v one_peak="$(cut -d' ' -f2 "$DIR/one.txt" | median)" -v all_peak="$(cut -d' ' -f2 "$DIR/default.txt" | median)" \
  -v runs="$RUNS" 'BEGIN {
    printf "  DarvEx.exe -j 1            %8.4f s   peak %6.1f MiB (the Wine process)\n", one / 1e6, one_peak / 1024
    printf "  DarvEx.exe, default jobs   %8.4f s   peak %6.1f MiB\n", all / 1e6, all_peak / 1024
    ratio = all / one
    printf "  Wine: default jobs / -j 1 = %.2f  (target <= %.2f: %s)%s\n", ratio, target,
           ratio <= target ? "met" : "MISSED", runs < 5 ? "  (a smoke run: too few runs for figures to keep)" : ""
  }'
