#!/usr/bin/env bash
# Runs kestrane and the core-guided reference clasp (--opt-strategy=usc) on
# the benchmark instances, each with a time limit, and prints per instance
# both wall-clock times, both costs and the known optimum, then the solved
# counts. A cost on which the two disagree, or one that differs from the
# known optimum, is flagged.
#
#   bench/maxsat.sh [-t SECONDS] [-k KESTRANE] [-a "KESTRANE ARGS"] [-d BENCH_DIR]
#                   [FILE...]
#
# FILEs are paths relative to the benchmark folder (default: every instance
# of its known-optima.tsv). clasp reads neither gzip nor the pmcnf, gwcnf and
# plain-MaxSAT cnf forms, so those are rewritten as wcnf for it; it cannot
# read wcsp files ("-" in its columns). OPB costs are objective values for
# both solvers. Exit status 1 when any cost is flagged.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
limit=60
kestrane="$root/build/kestrane"
kargs=""
bench="${KESTRANE_BENCH_DIR:-$root/../shared/bench}"
while getopts "t:k:a:d:h" opt; do
  case "$opt" in
    t) limit="$OPTARG" ;;
    k) kestrane="$OPTARG" ;;
    a) kargs="$OPTARG" ;;
    d) bench="$OPTARG" ;;
    *) sed -n '2,16p' "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[ -x "$kestrane" ] || { echo "kestrane not found at $kestrane (build it or pass -k)" >&2; exit 2; }
command -v clasp >/dev/null || { echo "clasp not found (apt-get install clasp)" >&2; exit 2; }
known="$bench/known-optima.tsv"
if [ $# -eq 0 ]; then
  mapfile -t files < <(awk -F'\t' '!/^#/ && NF >= 2 {print $1}' "$known")
else
  files=("$@")
fi
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", b - a}'; }

# The cost of a solver's output: the last "o <int>" line, "UNSAT", or "-".
cost_of() {
  awk '/^s UNSATISFIABLE/ {u = 1}
       /^s OPTIMUM FOUND/ {opt = 1}
       /^o -?[0-9]+ *$/ {c = $2}
       /^s SATISFIABLE/ {sat = 1}
       END {
         if (u) print "UNSAT";
         else if (opt && c != "") print c;
         else if (sat && c == "") print 0;
         else print "-"
       }' "$1"
}

# The file as clasp reads it, on standard output ("" when it cannot).
for_clasp() {
  local f="$1" base="${1%.gz}"
  local cat=cat
  [ "$f" != "$base" ] && cat=zcat
  case "$base" in
    *.opb | *.wbo) $cat "$f" ;;
    *wcsp) return 1 ;;
    *)
      $cat "$f" | awk '
        /^c/ {next}
        /^p/ {
          if ($2 == "hard") {hard = 1; next}
          if ($2 == "soft") {hard = 0; next}
          fmt = $2
          if (fmt == "wcnf" || fmt == "gwcnf") top = $5
          next
        }
        {
          line = $0
          if (fmt == "gwcnf") {sub(/^[ \t]*[0-9]+[ \t]+/, "", line)}
          else if (fmt == "cnf" || fmt == "pmcnf") {line = (hard ? "TOP" : "1") " " line}
          out[n++] = line
          k = split(line, t, /[ \t]+/)
          for (i = 2; i <= k; i++) {v = t[i] < 0 ? -t[i] : t[i]; if (v + 0 > nv) nv = v + 0}
        }
        END {
          # No top weight: every clause soft; hard clauses get a weight above
          # the total of the soft ones.
          if (top == "") top = "9223372036854775807"
          if (fmt == "cnf" || fmt == "pmcnf") top = n + 1
          print "p wcnf " (nv ? nv : 1) " " n " " top
          for (i = 0; i < n; i++) {l = out[i]; sub(/^TOP/, top, l); print l}
        }' ;;
  esac
}

printf "%-58s %8s %12s %8s %12s %12s  %s\n" instance k_time k_cost c_time c_cost known flag
k_solved=0 c_solved=0 flagged=0 n=0
for rel in "${files[@]}"; do
  f="$bench/$rel"
  [ -f "$f" ] || { echo "missing: $rel" >&2; continue; }
  n=$((n + 1))
  want=$(awk -F'\t' -v r="$rel" '$1 == r {print $2}' "$known")
  want=${want:--}
  t0=$(now)
  # shellcheck disable=SC2086
  { timeout -s KILL "$limit" "$kestrane" $kargs "$f" > "$tmp/k.out" 2>/dev/null; } 2>/dev/null
  kt=$(elapsed "$t0" "$(now)")
  kc=$(cost_of "$tmp/k.out")
  ct="-" cc="-"
  ext=wcnf
  case "${rel%.gz}" in *.opb) ext=opb ;; *.wbo) ext=wbo ;; esac
  if for_clasp "$f" > "$tmp/in.$ext" 2>/dev/null; then
    t0=$(now)
    { timeout -s KILL "$limit" clasp --opt-strategy=usc --quiet=1 "$tmp/in.$ext" > "$tmp/c.out" 2>/dev/null; } 2>/dev/null
    ct=$(elapsed "$t0" "$(now)")
    cc=$(cost_of "$tmp/c.out")
  fi
  [ "$kc" != "-" ] && k_solved=$((k_solved + 1))
  [ "$cc" != "-" ] && c_solved=$((c_solved + 1))
  flag=""
  if [ "$kc" != "-" ] && [ "$cc" != "-" ] && [ "$kc" != "$cc" ]; then flag="DISAGREE"; fi
  case "$want" in
    -*) ;;
    SAT) case "$rel" in cnf-sat/*) [ "$kc" != "-" ] && [ "$kc" != 0 ] && flag="$flag WRONG" ;; esac ;;
    UNSAT) case "$rel" in cnf-sat/*) ;; *) [ "$kc" != "-" ] && [ "$kc" != UNSAT ] && flag="$flag WRONG" ;; esac ;;
    *) [ "$kc" != "-" ] && [ "$kc" != "$want" ] && flag="$flag WRONG" ;;
  esac
  [ -n "$flag" ] && flagged=$((flagged + 1))
  printf "%-58s %8s %12s %8s %12s %12s  %s\n" "$rel" "$kt" "$kc" "$ct" "$cc" "$want" "$flag"
done
echo "instances: $n; solved within ${limit}s: kestrane $k_solved, clasp $c_solved; flagged: $flagged"
[ "$flagged" -eq 0 ]
