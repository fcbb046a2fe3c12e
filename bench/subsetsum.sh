#!/usr/bin/env bash
# Times the searches that raise a bound through the subset sums of the soft
# weights (ZOR3, weighted PM2, the linear UNSAT-SAT search) on n mutually
# exclusive soft units of weights near 10^9 (at most one unit can hold, so
# the optimum is every weight but the largest). With more than 16 such
# weights their total is far beyond what a bit vector over the sums can
# hold, so every step needs the exact next subset sum: a search that steps
# by 1 instead never finishes.
#
#   bench/subsetsum.sh [-t SECONDS] [-b BUILD_DIR] [N...]
#
# N: the numbers of units (default 17 20 40). Prints per file and
# algorithm the wall-clock time, the cost, the optimum and the number of
# progress lines ("c Num. cores:" / "c LB:"), one per bound step. Exit
# status 1 when a run ends without the optimum.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
limit=60
build="$root/build"
while getopts "t:b:h" opt; do
  case "$opt" in
    t) limit="$OPTARG" ;;
    b) build="$OPTARG" ;;
    *) sed -n '2,15p' "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
sizes=("$@")
[ ${#sizes[@]} -eq 0 ] && sizes=(17 20 40)
kestrane="$build/kestrane"
algo="$build/tests/tools/driver_algo"
for p in "$kestrane" "$algo"; do
  [ -x "$p" ] || { echo "$p not found (build it or pass -b)" >&2; exit 2; }
done
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# Writes the n-unit file to standard output.
units_file() {
  local n=$1 i a b top=1
  local -a w
  for ((i = 1; i <= n; i++)); do
    w[i]=$((1000000000 + 7919 * i))
    top=$((top + w[i]))
  done
  echo "p wcnf $n $((n * (n - 1) / 2 + n)) $top"
  for ((a = 1; a <= n; a++)); do
    for ((b = a + 1; b <= n; b++)); do echo "$top -$a -$b 0"; done
  done
  for ((i = 1; i <= n; i++)); do echo "${w[i]} $i 0"; done
}

runs=(
  "zor3|$kestrane -r 3.0"
  "zor3_pb_w|$kestrane -a 3 -e cn:w"
  "wpm2|$algo 0xFD93 -e cn"
  "wpm2_w|$algo 0xFD93 -e cn:w"
  "lin_unsat_sat|$algo 0xFD90 -e cn"
)

printf "%-6s %-16s %8s %14s %14s %7s  %s\n" units algorithm seconds cost optimum steps flag
bad=0
for n in "${sizes[@]}"; do
  f="$tmp/units$n.wcnf"
  units_file "$n" > "$f"
  want=0
  for ((i = 1; i < n; i++)); do want=$((want + 1000000000 + 7919 * i)); done
  for r in "${runs[@]}"; do
    name=${r%%|*} cmd=${r#*|}
    t0=$(date +%s.%N)
    # shellcheck disable=SC2086
    { timeout -s KILL "$limit" $cmd "$f" > "$tmp/out" 2>&1; } 2>/dev/null
    t1=$(date +%s.%N)
    cost=$(awk '/^o [0-9]+/ {c = $2} /^s OPTIMUM FOUND/ {ok = 1}
                END {print ok && c != "" ? c : "-"}' "$tmp/out")
    steps=$(grep -c -e '^c Num. cores:' -e '^c LB:' "$tmp/out")
    flag=""
    if [ "$cost" != "$want" ]; then flag="NOT SOLVED"; bad=1; fi
    printf "%-6s %-16s %8.2f %14s %14s %7s  %s\n" "$n" "$name" \
      "$(awk -v a="$t0" -v b="$t1" 'BEGIN {print b - a}')" "$cost" "$want" "$steps" "$flag"
  done
done
exit "$bad"
