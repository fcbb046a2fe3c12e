#!/usr/bin/env bash
# Configures and builds one build tree: scripts/build.sh [release|asan] [targets...]
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:-release}; shift || true
case "$kind" in
  release) dir=build; flags=(-DCMAKE_BUILD_TYPE=Release) ;;
  asan) dir=build-asan; flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRANE_SANITIZE=ON) ;;
  debug) dir=build-debug; flags=(-DCMAKE_BUILD_TYPE=Debug) ;;
  *) echo "usage: scripts/build.sh [release|asan|debug] [targets...]" >&2; exit 2 ;;
esac
cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$dir" -- "$@"
