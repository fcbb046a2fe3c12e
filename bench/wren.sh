#!/usr/bin/env bash
# Compares the Wren solver with the reference solver (cadical) on the SAT
# benchmark files: per instance both answers, both times and the time ratio
# Wren / cadical, then the median and the worst ratio.
#   bench/wren.sh [time-limit-seconds [files...]]
# Without files it runs every file of cnf-sat/ in the benchmark folder
# (KESTRANE_BENCH_DIR, default ../shared/bench beside the repository).
set -euo pipefail
cd "$(dirname "$0")/.."
limit=${1:-60}
shift || true
scripts/deps.sh --tests
scripts/build.sh release sat_wrenbench >/dev/null
bench=${KESTRANE_BENCH_DIR:-$(cd .. && pwd)/shared/bench}
if [ $# -gt 0 ]; then
  files=("$@")
else
  files=("$bench"/cnf-sat/*)
fi
exec build/tests/tools/sat_wrenbench -t "$limit" "${files[@]}"
