#!/usr/bin/env bash
# Runs kestrane, under one or more option sets, and the core-guided reference
# clasp (--opt-strategy=usc) on the benchmark instances, one solver at a time,
# each with a time limit. Prints per instance one row per solver run: its
# wall-clock and CPU (user + system) seconds, its cost and the known optimum;
# then per option set the instances solved, the median times over the solved
# ones and the CPU seconds of all its runs. A kestrane cost that differs from
# clasp's, or from the known optimum, is flagged.
#
#   bench/maxsat.sh [-t SECONDS] [-k KESTRANE] [-a "KESTRANE ARGS"]...
#                   [-d BENCH_DIR] [-f FOLDER]... [FILE...]
#
# Each -a adds an option set to compare (none: kestrane's defaults; -a ""
# names the defaults beside others). FILEs are paths relative to the benchmark
# folder; without them, every instance of its known-optima.tsv, or those under
# the FOLDERs given with -f (e.g. -f wcnf-old -f cnf-maxsat). clasp reads
# neither gzip nor the pmcnf, gwcnf and plain-MaxSAT cnf forms, so those are
# rewritten as wcnf for it; it cannot read wcsp files ("-" in its rows). OPB
# costs are objective values for both solvers. A run counts as solved when it
# prints its optimum (or UNSATISFIABLE) within the limit and is not flagged
# WRONG. Exit status 1 when any cost is flagged.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
limit=60
kestrane="$root/build/kestrane"
choices=()
folders=()
bench="${KESTRANE_BENCH_DIR:-$root/../shared/bench}"
while getopts "t:k:a:d:f:h" opt; do
  case "$opt" in
    t) limit="$OPTARG" ;;
    k) kestrane="$OPTARG" ;;
    a) choices+=("$OPTARG") ;;
    d) bench="$OPTARG" ;;
    f) folders+=("${OPTARG%/}") ;;
    *) sed -n '2,21p' "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[ ${#choices[@]} -eq 0 ] && choices=("")
[ -x "$kestrane" ] || { echo "kestrane not found at $kestrane (build it or pass -k)" >&2; exit 2; }
command -v clasp >/dev/null || { echo "clasp not found (apt-get install clasp)" >&2; exit 2; }
known="$bench/known-optima.tsv"
if [ $# -gt 0 ]; then
  files=("$@")
else
  mapfile -t files < <(awk -F'\t' -v sel="${folders[*]:-}" '
    BEGIN {n = split(sel, dirs, " ")}
    !/^#/ && NF >= 2 {
      keep = n == 0
      for (i = 1; i <= n; i++) if (index($1, dirs[i] "/") == 1) keep = 1
      if (keep) print $1
    }' "$known")
fi
[ ${#files[@]} -gt 0 ] || { echo "no instances selected" >&2; exit 2; }
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

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

# Runs a solver with the time limit, its output to $tmp/out; sets wall and
# cpu (user + system seconds of the solver). --foreground makes timeout wait
# for the killed solver, so a time-out's CPU seconds are counted too.
TIMEFORMAT='%R %U %S'
run_timed() {
  { time timeout --foreground -s KILL "$limit" "$@" > "$tmp/out" 2>/dev/null; } 2> "$tmp/time"
  read -r wall cpu < <(awk 'END {printf "%.2f %.2f", $1, $2 + $3}' "$tmp/time")
}

# The file as clasp reads it, on standard output ("" when it cannot).
for_clasp() {
  local f="$1" base="${1%.gz}"
  local cat=cat
  [ "$f" != "$base" ] && cat="zcat"
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

# Whether a cost of instance $rel contradicts its known optimum $want.
wrong() {
  [ "$1" = "-" ] && return 1
  case "$want" in
    -*) return 1 ;;
    SAT) case "$rel" in cnf-sat/*) [ "$1" != 0 ] ;; *) return 1 ;; esac ;;
    UNSAT) case "$rel" in cnf-sat/*) return 1 ;; *) [ "$1" != UNSAT ] ;; esac ;;
    *) [ "$1" != "$want" ] ;;
  esac
}

label_of() { [ -n "$1" ] && echo "$1" || echo "(default)"; }

# One result row; "$tmp/runs" collects "choice-index solved wall cpu [1 when
# flagged]" per run for the summary (index ${#choices[@]} is clasp).
row() {
  printf "%-50s %-20s %8s %8s %12s %12s  %s\n" "$@"
}
row instance options wall cpu cost known flag
flagged=0 n=0
: > "$tmp/runs"
for rel in "${files[@]}"; do
  f="$bench/$rel"
  [ -f "$f" ] || { echo "missing: $rel" >&2; continue; }
  n=$((n + 1))
  want=$(awk -F'\t' -v r="$rel" '$1 == r {print $2}' "$known")
  want=${want:--}
  cc="-" ct="-" ccpu="-"
  ext=wcnf
  case "${rel%.gz}" in *.opb) ext=opb ;; *.wbo) ext=wbo ;; esac
  if for_clasp "$f" > "$tmp/in.$ext" 2>/dev/null; then
    run_timed clasp --opt-strategy=usc --quiet=1 "$tmp/in.$ext"
    cc=$(cost_of "$tmp/out") ct=$wall ccpu=$cpu
  fi
  name="$rel"
  for i in "${!choices[@]}"; do
    # shellcheck disable=SC2086
    run_timed "$kestrane" ${choices[$i]} "$f"
    kc=$(cost_of "$tmp/out")
    flag=""
    if [ "$kc" != "-" ] && [ "$cc" != "-" ] && [ "$kc" != "$cc" ]; then flag="DISAGREE"; fi
    wrong "$kc" && flag="$flag WRONG"
    [ -n "$flag" ] && flagged=$((flagged + 1))
    solved=1
    { [ "$kc" = "-" ] || wrong "$kc"; } && solved=0
    echo "$i $solved $wall $cpu ${flag:+1}" >> "$tmp/runs"
    row "$name" "$(label_of "${choices[$i]}")" "$wall" "$cpu" "$kc" "$want" "$flag"
    name=""
  done
  solved=1
  { [ "$cc" = "-" ] || wrong "$cc"; } && solved=0
  [ "$ct" != "-" ] && echo "${#choices[@]} $solved $ct $ccpu" >> "$tmp/runs"
  row "$name" clasp "$ct" "$ccpu" "$cc" "" ""
done

echo
echo "instances: $n; limit ${limit}s; flagged: $flagged"
printf "%-24s %8s %12s %12s %10s %8s\n" options solved median_wall median_cpu total_cpu flagged
for i in $(seq 0 "${#choices[@]}"); do
  if [ "$i" -lt "${#choices[@]}" ]; then name=$(label_of "${choices[$i]}"); else name=clasp; fi
  # Solved count over all instances, medians over the solved runs, CPU
  # seconds summed over all runs (a time-out counts what it spent).
  awk -v i="$i" -v n="$n" -v name="$name" '
    function median(a, k,   j, t, m) {
      for (j = 2; j <= k; j++) {t = a[j]; for (m = j - 1; m >= 1 && a[m] > t; m--) a[m + 1] = a[m]; a[m + 1] = t}
      return k % 2 ? a[(k + 1) / 2] : (a[k / 2] + a[k / 2 + 1]) / 2
    }
    $1 == i && $2 == 1 {k++; w[k] = $3 + 0; c[k] = $4 + 0}
    $1 == i {all += $4}
    $1 == i && $5 == 1 {f++}
    END {
      if (k) printf "%-24s %8s %12.2f %12.2f %10.1f %8d\n", name, k "/" n, median(w, k), median(c, k), all, f
      else printf "%-24s %8s %12s %12s %10.1f %8d\n", name, "0/" n, "-", "-", all, f
    }' "$tmp/runs"
done
[ "$flagged" -eq 0 ]
