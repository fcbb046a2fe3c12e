#!/usr/bin/env bash
# Builds Kestrane (installing what is missing) and solves the given file.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh release kestrane >/dev/null
exec build/kestrane "$@"
