#!/usr/bin/env bash
# Runs kestrane and clasp on the OPB and WBO files of the benchmark folder,
# each with a time limit, and prints per instance both wall-clock times,
# both answers and the known optimum. OPB answers are objective values for
# both solvers; WBO answers are the weight of the violated soft
# constraints. A file that kestrane rejects shows "ERR" (the malformed
# files of the folder are expected to). An answer that differs from the
# other solver's or from the known optimum is flagged with "!".
#
#   bench/opb.sh [-t SECONDS] [-k KESTRANE] [-a "KESTRANE ARGS"]
#                [-c "CLASP ARGS"] [-d BENCH_DIR] [FILE...]
#
# FILEs are paths relative to the benchmark folder (default: every file of
# its opb/ and wbo/ folders). clasp 3.3.5 is wrong on OPB equalities, so it
# gets every "=" constraint as two ">=" constraints. Exit status 1 when any
# answer is flagged.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
limit=60
kestrane="$root/build/kestrane"
kargs=""
cargs="--quiet=1"
bench="${KESTRANE_BENCH_DIR:-$root/../shared/bench}"
while getopts "t:k:a:c:d:h" opt; do
  case "$opt" in
    t) limit="$OPTARG" ;;
    k) kestrane="$OPTARG" ;;
    a) kargs="$OPTARG" ;;
    c) cargs="$OPTARG" ;;
    d) bench="$OPTARG" ;;
    *) sed -n '2,16p' "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[ -x "$kestrane" ] || { echo "kestrane not found at $kestrane (build it or pass -k)" >&2; exit 2; }
command -v clasp >/dev/null || { echo "clasp not found (apt-get install clasp)" >&2; exit 2; }
if [ $# -eq 0 ]; then
  files=()
  for f in "$bench"/opb/*.opb "$bench"/wbo/*.wbo; do
    [ -e "$f" ] && files+=("${f#"$bench"/}")
  done
else
  files=("$@")
fi
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", b - a}'; }

# A solver's answer: the last "o <int>" line with "s OPTIMUM FOUND", "UNSAT",
# "SAT" for a feasible file without objective, "TO" when the limit passed,
# "ERR" when it failed.
answer_of() {
  local out="$1" rc="$2"
  if [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then echo TO; return; fi
  awk -v rc="$rc" '
       /^s UNSATISFIABLE/ {u = 1}
       /^s OPTIMUM FOUND/ {opt = 1}
       /^s SATISFIABLE/ {sat = 1}
       /^o -?[0-9]+ *$/ {c = $2}
       END {
         if (u) print "UNSAT";
         else if (opt && c != "") print c;
         else if (opt || sat) print "SAT";
         else if (rc != 0 && rc != 10 && rc != 20 && rc != 30) print "ERR";
         else print "-"
       }' "$out"
}

# The OPB or WBO file with every equality written as two ">=" constraints.
split_equalities() {
  awk '
    /^\*/ || /^(min|soft):/ || !/[^<>=]=[^=]?/ { print; next }
    {
      line = $0; sub(/;[[:space:]]*$/, "", line)
      n = split(line, tok, /[[:space:]]+/)
      ge = ""; le = ""; after = 0
      for (i = 1; i <= n; i++) {
        t = tok[i]
        if (t == "") continue
        if (t == "=" || t == "==") { after = 1; continue }
        if (t ~ /^\[/) { ge = ge t " "; le = le t " "; continue }
        if (t ~ /^[-+]?[0-9]+$/) {
          v = t + 0; neg = -v
          ge = ge (v >= 0 ? "+" v : v) " "
          le = le (neg >= 0 ? "+" neg : neg) " "
          if (after) { ge = ge ";"; le = le ";" }
        } else if (!after) { ge = ge t " "; le = le t " " }
      }
      sub(/ ;$/, "", ge); sub(/ ;$/, "", le)
      # ge holds "terms rhs", le the negated terms and rhs
      m = split(ge, a, " "); rhs = a[m]; ge = ""
      for (i = 1; i < m; i++) ge = ge a[i] " "
      m = split(le, b, " "); nrhs = b[m]; le = ""
      for (i = 1; i < m; i++) le = le b[i] " "
      print ge ">= " rhs " ;"
      # a soft equality stays one soft constraint only in its first half
      if (le ~ /^\[/) { print "* (second half of a soft equality dropped)"; next }
      print le ">= " nrhs " ;"
    }' "$1"
}

# Two answers agree when equal, or when one is SAT (a file without
# objective) and the other a cost (kestrane reports cost 0 there).
agree() {
  [ "$1" = "$2" ] && return 0
  case "$1:$2" in
    SAT:UNSAT | UNSAT:SAT) return 1 ;;
    SAT:* | *:SAT) return 0 ;;
  esac
  return 1
}

known_of() {
  awk -F'\t' -v f="$1" '$1 == f {print $2}' "$bench/known-optima.tsv" 2>/dev/null
}

printf "%-58s %9s %12s %9s %12s %12s %s\n" instance k-secs kestrane c-secs clasp known flag
flagged=0
solved_k=0
solved_c=0
for rel in "${files[@]}"; do
  f="$bench/$rel"
  t0=$(now)
  # shellcheck disable=SC2086
  timeout -k 5 "$limit" "$kestrane" $kargs "$f" >"$tmp/k.out" 2>"$tmp/k.err"
  krc=$?
  t1=$(now)
  ka=$(answer_of "$tmp/k.out" "$krc")
  ks=$(elapsed "$t0" "$t1")

  zcat -f "$f" | split_equalities /dev/stdin >"$tmp/c.opb"
  if grep -q '^\* (second half' "$tmp/c.opb"; then
    ca="-"; cs="-" # clasp cannot be given a soft equality here
  else
    t0=$(now)
    # shellcheck disable=SC2086
    timeout -k 5 "$limit" clasp $cargs "$tmp/c.opb" >"$tmp/c.out" 2>"$tmp/c.err"
    crc=$?
    t1=$(now)
    ca=$(answer_of "$tmp/c.out" "$crc")
    cs=$(elapsed "$t0" "$t1")
  fi
  kn=$(known_of "$rel")
  [ -z "$kn" ] && kn="-"
  flag=""
  definite() { [ "$1" != "TO" ] && [ "$1" != "ERR" ] && [ "$1" != "-" ]; }
  if definite "$ka"; then solved_k=$((solved_k + 1)); fi
  if definite "$ca"; then solved_c=$((solved_c + 1)); fi
  if definite "$ka" && definite "$ca" && ! agree "$ka" "$ca"; then flag="!"; fi
  if definite "$ka" && [ "$kn" != "-" ] && ! agree "$ka" "$kn"; then flag="!"; fi
  [ -n "$flag" ] && flagged=1
  printf "%-58s %9s %12s %9s %12s %12s %s\n" "$rel" "$ks" "$ka" "$cs" "$ca" "$kn" "$flag"
done
echo "answered: kestrane $solved_k, clasp $solved_c of ${#files[@]} (limit ${limit} s)"
exit $flagged
