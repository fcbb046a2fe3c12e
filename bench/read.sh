#!/usr/bin/env bash
# Reading speed and memory of the input readers on a generated weighted
# partial MaxSAT file of about 2 million clauses, plain and gzip: the time of
# read_input_file next to `gzip -dcf FILE >/dev/null` on the same file, their
# ratio, the CPU seconds of the read (steadier than the wall clock while
# others use the machine), the lexer alone, and the peak memory against the
# literal data. Times are the best of three runs.
#   bench/read.sh [CLAUSES [VARS]]      (BUILD_DIR defaults to build)
set -euo pipefail
cd "$(dirname "$0")/.."
clauses=${1:-2000000}
vars=${2:-200000}
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target formats_readbench >/dev/null
drv="$build/tests/tools/formats_readbench"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
plain="$tmp/read-bench.wcnf"
"$drv" --generate "$clauses" "$vars" "$plain"
gzip -c "$plain" >"$plain.gz"

# Best of three wall-clock times of a command, in seconds.
best_of_3() {
  local best="" t0 t1 t
  for _ in 1 2 3; do
    t0=$(date +%s.%N)
    "$@" >/dev/null
    t1=$(date +%s.%N)
    t=$(echo "$t1 - $t0" | bc -l)
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
  done
  printf '%.3f' "$best"
}
# Best of three runs of the driver: its own timing line with the least time.
drv_best() {
  local best="" line s
  for _ in 1 2 3; do
    line=$("$drv" "$@")
    s=$(echo "$line" | awk '{print $2}')
    if [ -z "$best" ] || [ "$(echo "$s < $(echo "$best" | awk '{print $2}')" | bc -l)" = 1 ]; then best=$line; fi
  done
  echo "$best"
}
field() { echo "$1" | awk -v k="$2" '{for (i = 1; i < NF; i++) if ($i == k) print $(i + 1)}'; }

echo "file: $clauses clauses over $vars variables;" \
  "plain $(stat -c %s "$plain") bytes, gzip $(stat -c %s "$plain.gz") bytes"
# read: read_input_file into the clause model; lex only: the same bytes
# through the stream and the integer lexer, without building clauses.
printf '%-10s %9s %9s %7s %8s %9s %7s %10s %10s %10s %9s\n' \
  input "gzip -dc" read ratio "read cpu" "lex only" ratio clauses literals \
  peak_KiB "peak/lits"
for f in "$plain" "$plain.gz"; do
  gz=$(best_of_3 gzip -dcf "$f")
  read=$(drv_best "$f")
  lex=$(drv_best --lex-only "$f")
  rs=$(field "$read" seconds)
  rc=$(field "$read" cpu_seconds)
  lits=$(field "$read" literals)
  peak=$(field "$read" peak_kb)
  ls=$(field "$lex" seconds)
  ratio=$(echo "$rs / $gz" | bc -l)
  lratio=$(echo "$ls / $gz" | bc -l)
  # Literal data: 8 bytes per literal, the width of a literal in the clause
  # model's interface (it stores them in 32 bits where they fit).
  mem=$(echo "$peak * 1024 / ($lits * 8)" | bc -l)
  printf '%-10s %9s %9s %7.2f %8s %9s %7.2f %10s %10s %10s %9.2f\n' \
    "$(basename "$f" | sed 's/read-bench//')" "$gz" "$rs" "$ratio" "$rc" "$ls" \
    "$lratio" "$(field "$read" clauses)" "$lits" "$peak" "$mem"
done
