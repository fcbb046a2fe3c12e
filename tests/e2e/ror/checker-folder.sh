#!/bin/sh
# Runs a solver in a fresh working folder that holds the proof-checker
# stand-in as ./tracecheck, with the stand-in in the given mode, and fails
# (status 70) when the run leaves any other file in that folder.
#   checker-folder.sh <stand-in> <mode> <solver> [<argument> ...] <input>
# The input path must be absolute.
standin=$1
mode=$2
shift 2
dir=$(mktemp -d) || exit 2
cp "$standin" "$dir/tracecheck" || exit 2
(cd "$dir" && TRACECHECK_STANDIN_MODE=$mode exec "$@")
rc=$?
left=$(ls -A "$dir" | grep -vx tracecheck)
rm -rf "$dir"
if [ -n "$left" ]; then
  echo "files left behind: $left" >&2
  exit 70
fi
exit $rc
