#!/usr/bin/env bash
# Size and speed of every cardinality and pseudo-Boolean encoding for
# n = 1,000, 10,000 and 100,000 literals and several bounds.
#   bench/encodings.sh [build-dir]      (default: build)
#   ENC_BENCH_SINK=count bench/encodings.sh   counts the clauses instead of
#   handing them to the clause registry: the encoders' own cost.
#   ENC_BENCH_ONLY=card or =pb runs one half.
# Each run is one process under a time limit (ENC_BENCH_TIMEOUT seconds,
# default 300) and a memory limit (ENC_BENCH_MEM_KB, default 8 GB);
# configurations whose size is quadratic by design (pairwise at n >= 10,000,
# counters and BDDs whose n*k passes about 2e7, the pseudo-Boolean sorting
# networks at n = 100,000) are listed as skipped.
set -uo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$dir" --target encodings_bench >/dev/null || exit 1
bin="$dir/tests/tools/encodings_bench"
[ -x "$bin" ] || bin="$dir/tests/encodings_bench"
[ -x "$bin" ] || bin=$(find "$dir" -name encodings_bench -type f | head -1)
limit=${ENC_BENCH_TIMEOUT:-300}
mem=${ENC_BENCH_MEM_KB:-8000000}

run() {
  local out
  out=$( (ulimit -v "$mem"; timeout "$limit" "$bin" "$@") 2>&1 | tail -1)
  case "$out" in
    *clauses=*) echo "$out" ;;
    *) echo "$* : no result ($out)" ;;
  esac
}

only=${ENC_BENCH_ONLY:-all}

[ "$only" = pb ] || {
echo "# cardinality, at most k (code in hex)"
for n in 1000 10000 100000; do
  for code in fc01 fc80 fc81 fc11; do
    if [ "$code" = fc01 ] && [ "$n" -gt 1000 ]; then
      echo "card $code n=$n k=1 skipped: n(n-1)/2 clauses"; continue
    fi
    run card "$code" "$n" 1
  done
  for k in 10 100 $((n / 2)); do
    for code in fc11 fc04 fc40 fc41; do
      # About n*k variables; the BDD adds up to six clauses per node.
      if { [ "$code" = fc11 ] && [ $((n * k)) -gt 20000000 ]; } ||
         { [ "$code" = fc04 ] && [ $((n * k)) -gt 5000000 ]; }; then
        echo "card $code n=$n k=$k skipped: about n*k = $((n * k)) variables"; continue
      fi
      run card "$code" "$n" "$k"
    done
  done
done

}

[ "$only" = card ] || {
echo "# pseudo-Boolean, at most k = sum * permille / 1000, random weights 1..1000"
for n in 1000 10000 100000; do
  for permille in 1 10 500; do
    for code in 1 2 3 4 5 6; do
      if [ "$code" = 1 ] && { [ "$n" -gt 1000 ] || [ "$permille" -gt 10 ]; }; then
        echo "pb $code n=$n permille=$permille skipped: BDD of up to n*k nodes"; continue
      fi
      if [ "$code" = 2 ] && [ "$n" -gt 10000 ]; then
        echo "pb $code n=$n permille=$permille skipped: sorters over the digit sum, > 2e8 clauses"; continue
      fi
      # k is about n * 500 * permille / 1000 (mean weight 500).
      if [ "$code" = 6 ] && [ $((n * n / 2 * permille)) -gt 20000000 ]; then
        echo "pb $code n=$n permille=$permille skipped: about n*k = $((n * n / 2 * permille)) variables"; continue
      fi
      run pb "$code" "$n" "$permille"
    done
  done
done
}
