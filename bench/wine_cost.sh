#!/usr/bin/env bash
# What Wine costs and what the tool costs itself: build-windows-x86_64/DarvEx.exe against
# wine_baseline.exe (bench/wine_baseline.cpp: the plainest program that does the same work, with
# the same MinGW-w64 toolchain and zlib) under the same Wine, on two sets:
#   tiny: 2,000 files of 1 to 64 bytes (tiny.dat, and tiny/ as extraction leaves it);
#   real: the files darvex_bench selects from this machine (R1.dat, and R1/);
# extraction at -j 1 and at the default job count against the baseline's extraction; -c of the
# folder at -j 1 and at default jobs, and an unchanged --like repack, against the baseline's
# packing. Runs are interleaved (every command once, then again, in an order that turns each
# round) in fresh directories, standard output to a file; each figure is the median of RUNS
# runs, with the best run beside it (on a machine shared with other work the runs split between
# quiet and crowded ones), and the load average before and after. Skips, with a note, when an
# executable or Wine is missing.
#
#   bench/wine_cost.sh NATIVE BENCH WINDOWS_BUILD DIR [RUNS [REAL_MIB]]
#     NATIVE: the native DarvEx, which makes the sets' archives and folders
#     BENCH: the native darvex_bench, which selects the real contents
#     WINDOWS_BUILD: the folder with DarvEx.exe and wine_baseline.exe (build-windows-x86_64)
#     RUNS: runs of each command (default 5); REAL_MIB: the real contents' size (default 40)
set -euo pipefail

NATIVE=$1 BENCH=$2 BUILD=$3 DIR=$4 RUNS=${5:-5} REAL_MIB=${6:-40}
TARGET=1.5  # the tool / the baseline, extraction and -c
TINY_FILES=2000
# wine64 as the configure step found it, else from PATH, else where Debian 12 puts it.
WINE=${DARVEX_WINE64:-$(command -v wine64 || echo /usr/lib/wine/wine64)}

for exe in DarvEx.exe wine_baseline.exe; do
  if [ ! -f "$BUILD/$exe" ]; then
    echo "wine cost: $BUILD/$exe is not built (cmake --build $BUILD --target all wine_baseline): skipped"
    exit 0
  fi
done
if [ ! -x "$WINE" ]; then
  echo "wine cost: wine64 is not installed (apt-get install wine64): skipped"
  exit 0
fi
# Absolute, since the sets are made from inside their folders.
NATIVE=$(realpath "$NATIVE")
BENCH=$(realpath "$BENCH")
TOOL=$(realpath "$BUILD/DarvEx.exe")
BASELINE=$(realpath "$BUILD/wine_baseline.exe")
mkdir -p "$DIR"
DIR=$(realpath "$DIR")

# The Wine tests' private prefix, one server kept running throughout.
# shellcheck source=wine_server.sh
source "$(dirname "$0")/wine_server.sh"
use_wine_prefix "$(realpath "$BUILD")/wine-prefix"

# make_sets: tiny.dat and R1.dat in DIR, each extracted beside itself by the native tool.
make_sets() {
  rm -rf "$DIR/sets" "$DIR/runs"
  mkdir -p "$DIR/sets/source/tiny"
  awk -v dir="$DIR/sets/source/tiny" -v files="$TINY_FILES" 'BEGIN {
    srand(2000)
    for (i = 0; i < files; ++i) {
      name = sprintf("%s/tiny_%04d.txt", dir, i)
      length_ = 1 + int(rand() * 64)
      text = ""
      while (length(text) < length_) text = text sprintf("%d ", int(rand() * 1000))
      printf "%s", substr(text, 1, length_) > name
      close(name)
    }
  }'
  (cd "$DIR/sets/source" && "$NATIVE" -q -c ../tiny.dat tiny)
  "$BENCH" --write-real "$DIR/sets/real" "$REAL_MIB" >"$DIR/sets/real.txt"
  mv "$DIR/sets/real/R1.dat" "$DIR/sets/R1.dat"
  (cd "$DIR/sets" && "$NATIVE" -q tiny.dat R1.dat)
  rm -rf "$DIR/sets/source" "$DIR/sets/real"
}

# run_once LABEL RUN SET COMMAND...: one timed run of COMMAND (in Wine) in a fresh directory that
# holds SET.dat; the folder SET/ is ../../sets/SET from there. Prints the microseconds.
run_once() {
  local label=$1 run=$2 set=$3 run_dir="$DIR/runs/$1-$2"
  shift 3
  rm -rf "$run_dir"
  mkdir -p "$run_dir"
  # A copy, not a hard link: an archive with a second name makes the tool look at each entry's
  # name before writing it (another name of the archive could stand there).
  cp "$DIR/sets/$set.dat" "$run_dir/$set.dat"
  sync -f "$DIR"
  local start end
  start=$(date +%s%N)
  (cd "$run_dir" && "$WINE" "$@" >stdout.txt 2>stderr.txt) ||
    { echo "wine cost: $label exited with status $?: $(cat "$run_dir/stderr.txt")" >&2; exit 1; }
  end=$(date +%s%N)
  sync -f "$DIR"
  rm -rf "$run_dir"
  echo $(((end - start) / 1000))
}

median() {
  sort -n | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'
}

# The commands, as LABEL|SET|ARGUMENTS; the sets' folders are ../../sets/SET.
COMMANDS=()
for set in tiny R1; do
  folder="../../sets/$set"
  COMMANDS+=(
    "$set extract, baseline|$set|$BASELINE $set.dat"
    "$set extract, DarvEx -j 1|$set|$TOOL -j 1 $set.dat"
    "$set extract, DarvEx|$set|$TOOL $set.dat"
    "$set pack, baseline|$set|$BASELINE -c new.dat $folder"
    "$set -c, DarvEx -j 1|$set|$TOOL -j 1 -c new.dat $folder"
    "$set -c, DarvEx|$set|$TOOL -c new.dat $folder"
    "$set --like, DarvEx|$set|$TOOL -c new.dat --like ../../sets/$set.dat $folder"
  )
done

make_sets
echo "Wine $("$WINE" --version); tiny: $TINY_FILES files; real: $(sed -n 's/^Wrote \([0-9]* files ([0-9.]* MiB)\).*/\1/p' "$DIR/sets/real.txt") (R1.dat used); $RUNS run(s) of each; load average before $(cut -d' ' -f1-3 /proc/loadavg)"
declare -A TIMES
for ((run = 0; run < RUNS; ++run)); do
  count=${#COMMANDS[@]}
  for ((k = 0; k < count; ++k)); do
    i=$(((k + run * 3) % count))
    IFS='|' read -r label set arguments <<<"${COMMANDS[$i]}"
    # shellcheck disable=SC2086  # the arguments hold no spaces
    TIMES[$i]+="$(run_once "c$i" "$run" "$set" $arguments) "
  done
done
rm -rf "$DIR/runs"
echo "Load average after $(cut -d' ' -f1-3 /proc/loadavg)"

declare -A MEDIAN
for ((i = 0; i < ${#COMMANDS[@]}; ++i)); do
  MEDIAN[$i]=$(tr ' ' '\n' <<<"${TIMES[$i]}" | grep . | median)
done
# Each command's median, and against the baseline of its kind (extraction or packing).
for ((i = 0; i < ${#COMMANDS[@]}; ++i)); do
  IFS='|' read -r label _ _ <<<"${COMMANDS[$i]}"
  base=$((i < 7 ? (i < 3 ? 0 : 3) : (i < 10 ? 7 : 10)))
  awk -v label="$label" -v t="${MEDIAN[$i]}" -v b="${MEDIAN[$base]}" -v all="${TIMES[$i]}" -v target="$TARGET" \
      -v is_base="$((i == base))" 'BEGIN {
    n = split(all, v, " "); best = v[1]; for (k = 2; k <= n; ++k) if (v[k] < best) best = v[k]
    printf "  %-28s %8.3f s (best %.3f s)", label, t / 1e6, best / 1e6
    if (!is_base) printf "   %.2f x the baseline%s", t / b, label ~ /like/ ? "" : (t / b <= target ? "" : "  (over " target ")")
    printf "   [runs:"; for (k = 1; k <= n; ++k) printf " %.2f", v[k] / 1e6; printf "]\n"
  }'
done
