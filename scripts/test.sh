#!/usr/bin/env bash
# Builds Kestrane and runs the whole test suite (installing what is missing).
# scripts/test.sh [release|asan]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --tests
kind=${1:-release}
scripts/build.sh "$kind"
dir=build; [ "$kind" = asan ] && dir=build-asan
jobs=$(nproc)
cd "$dir"
ctest --output-on-failure -j "$jobs" -LE soak
