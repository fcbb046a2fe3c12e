#!/usr/bin/env bash
# Tern engine against the reference SAT solver (cadical) on the benchmark
# CNF files: per instance both CPU times (user + system), their ratio
# (tern / cadical), the engine's propagations per second; then the median
# and the worst ratio. Times below 0.01 s count as 0.01 s; a time-out counts
# as the limit (the ratio is then marked as a bound with ">" or "<").
#
#   bench/sat.sh [build-dir] [cnf-dir]     (TIMEOUT=seconds, default 60)
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-release}
dir=${2:-$here/../shared/bench/cnf-sat}
limit=${TIMEOUT:-60}
tool=$build/tests/tools/sat_bench
ref=${REFERENCE:-/usr/bin/cadical}
[ -x "$tool" ] || { echo "missing $tool (build the target sat_bench)" >&2; exit 2; }
[ -x "$ref" ] || { echo "missing reference solver $ref" >&2; exit 2; }

cpu() {  # cpu <outfile> <cmd...>: runs with the time limit, prints "seconds status"
  local out=$1; shift
  /usr/bin/time -o "$tmp/time" -f "%U %S" timeout "$limit" "$@" >"$out" 2>/dev/null
  local t
  t=$(tail -1 "$tmp/time")
  awk -v t="$t" 'BEGIN { split(t, a, " "); s = a[1] + a[2]; if (s < 0.01) s = 0.01; printf "%.2f", s }'
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
printf "%-48s %10s %10s %9s %12s %s\n" instance tern cadical ratio props/s answer
ratios=()
for f in "$dir"/*.cnf "$dir"/*.cnf.gz; do
  [ -e "$f" ] || continue
  name=$(basename "$f")
  tt=$(cpu "$tmp/t.out" "$tool" "$f")
  tans=$(grep -o '^s [A-Z]*' "$tmp/t.out" | head -1 | cut -c3-)
  props=$(awk '/^c props\/second/ { print $3 }' "$tmp/t.out")
  if [[ "$f" == *.gz ]]; then
    gzip -dc "$f" >"$tmp/in.cnf"
    ct=$(cpu "$tmp/c.out" "$ref" -q -f "$tmp/in.cnf")
  else
    ct=$(cpu "$tmp/c.out" "$ref" -q -f "$f")
  fi
  cans=$(grep -o '^s [A-Z]*' "$tmp/c.out" | head -1 | cut -c3-)
  mark=""
  [ -z "$tans" ] && { tt=$limit; tans=TIMEOUT; mark=">"; }
  [ -z "$cans" ] && { ct=$limit; cans=TIMEOUT; mark="<"; }
  [ "$tans" = TIMEOUT ] && [ "$cans" = TIMEOUT ] && mark="~"
  ratio=$(awk -v a="$tt" -v b="$ct" 'BEGIN { printf "%.2f", a / b }')
  ratios+=("$ratio")
  answer=$tans
  [ "$tans" != "$cans" ] && [ "$tans" != TIMEOUT ] && [ "$cans" != TIMEOUT ] && answer="$tans MISMATCH($cans)"
  printf "%-48s %10s %10s %9s %12s %s\n" "$name" "$tt" "$ct" "$mark$ratio" "${props:--}" "$answer"
done
printf "%s\n" "${ratios[@]}" | sort -g | awk '
  { r[NR] = $1 }
  END {
    if (!NR) exit
    m = (NR % 2) ? r[(NR + 1) / 2] : (r[NR / 2] + r[NR / 2 + 1]) / 2
    printf "median ratio %.2f, worst ratio %.2f over %d instances\n", m, r[NR], NR
  }'
