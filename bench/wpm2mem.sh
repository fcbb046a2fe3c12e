#!/usr/bin/env bash
# Peak memory of weighted PM2 (driver_algo 0xFD93) on generated files whose
# bound steps test many candidate costs: each test encodes an equality over
# a cover's weights, and a run that kept every test's clauses grew by
# millions of clauses. The default file (seed 16484739189774896941, family
# xpairs, 10 variables) takes 434 such tests with -e cn:w.
#
#   bench/wpm2mem.sh [-m MB] [-e ENC] [-t SECONDS] [-b BUILD_DIR] [SEED...]
#
# -m: the peak resident size allowed (default 200 MB); -e: the encoding
# option (default cn:w). Prints per seed the wall-clock seconds, the peak
# resident size, the cost and the brute-force optimum. Exit status 1 when a
# run passes the limit, ends without an optimum or disagrees with brute
# force.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
max_mb=200
enc="cn:w"
limit=120
build="$root/build"
while getopts "m:e:t:b:h" opt; do
  case "$opt" in
    m) max_mb="$OPTARG" ;;
    e) enc="$OPTARG" ;;
    t) limit="$OPTARG" ;;
    b) build="$OPTARG" ;;
    *) sed -n '2,14p' "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
seeds=("$@")
[ ${#seeds[@]} -eq 0 ] && seeds=(16484739189774896941)
tools="$build/tests/tools"
for p in "$tools/driver_algo" "$tools/mxsgen" "$tools/mxsbrute"; do
  [ -x "$p" ] || { echo "$p not found (build it or pass -b)" >&2; exit 2; }
done
[ -x /usr/bin/time ] || { echo "/usr/bin/time not found" >&2; exit 2; }
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

printf "%-22s %8s %9s %10s %10s  %s\n" seed seconds peak_MB cost optimum flag
bad=0
for seed in "${seeds[@]}"; do
  f="$tmp/x.wcnf"
  "$tools/mxsgen" --seed "$seed" --family xpairs --vars 10 > "$f"
  want=$("$tools/mxsbrute" "$f" | awk '/^o / {print $2}')
  t0=$(date +%s.%N)
  rm -f "$tmp/rss"
  timeout -s KILL "$limit" /usr/bin/time -f "%M" -o "$tmp/rss" \
    "$tools/driver_algo" 0xFD93 -e "$enc" "$f" > "$tmp/out" 2>/dev/null
  t1=$(date +%s.%N)
  # No figure when the time limit cut the run.
  kb=$(tail -n 1 "$tmp/rss" 2>/dev/null)
  mb=$([ -n "$kb" ] && echo $((kb / 1024)) || echo 0)
  cost=$(awk '/^o [0-9]+/ {c = $2} /^s OPTIMUM FOUND/ {ok = 1}
              END {print ok && c != "" ? c : "-"}' "$tmp/out")
  flag=""
  if [ "$cost" != "$want" ]; then flag="WRONG OR UNSOLVED"; bad=1; fi
  if [ "$mb" -ge "$max_mb" ]; then flag="$flag OVER ${max_mb} MB"; bad=1; fi
  printf "%-22s %8.2f %9s %10s %10s  %s\n" "$seed" \
    "$(awk -v a="$t0" -v b="$t1" 'BEGIN {print b - a}')" "$mb" "$cost" "$want" "$flag"
done
exit "$bad"
