#!/usr/bin/env bash
# Instructions the standard-output writer spends on a result block with a
# 3,000,000-value "v" line (bench/writer_speed.cpp), in a build against an
# older revision, counted by callgrind: unlike seconds, the counts repeat
# from run to run within a few dozen, so a small slowdown of the writer
# shows. The count is that of one block minus that of none, which leaves
# out the start and the model's set-up.
#
#   bench/writer.sh [-r REV] [-b BUILD_DIR] [-x RATIO] [-s]
#
# -r: the older revision (default 61e2fa9), its libraries built in a
# temporary git worktree; -b: the build whose libraries are measured
# (default build/); -x: the largest ratio build/older allowed (default
# 1.02); -s: also the wall-clock seconds of a plain run of 5 blocks each.
# Exit status 1 when the ratio is above the allowed one.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
rev=61e2fa9
build="$root/build"
max=1.02
secs=0
while getopts "r:b:x:sh" opt; do
  case "$opt" in
    r) rev="$OPTARG" ;;
    b) build="$OPTARG" ;;
    x) max="$OPTARG" ;;
    s) secs=1 ;;
    *) sed -n '2,15p' "$0"; exit 2 ;;
  esac
done
libs=(driver coreguided search formats framework sat encodings pbtranslator model)
for l in "${libs[@]}"; do
  f="$build/libkestrane_$l.a"
  [ -f "$f" ] || { echo "$f not found (build it or pass -b)" >&2; exit 2; }
done
command -v valgrind > /dev/null || { echo "valgrind not found" >&2; exit 2; }
git -C "$root" rev-parse -q --verify "$rev^{commit}" > /dev/null ||
  { echo "unknown revision $rev" >&2; exit 2; }
# The build's own sources give its headers (the model line is a template).
src=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt" 2>/dev/null)
[ -n "$src" ] || src="$root"
tmp="$(mktemp -d)"
trap 'git -C "$root" worktree remove --force "$tmp/tree" 2> /dev/null
      rm -rf "$tmp"' EXIT
trap 'exit 130' INT TERM

git -C "$root" worktree add -q --detach "$tmp/tree" "$rev" || exit 2
{ cmake -S "$tmp/tree" -B "$tmp/old" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DKESTRANE_TESTS=OFF && cmake --build "$tmp/old" --target "${libs[@]/#/kestrane_}"
} > "$tmp/log" 2>&1 || { tail -n 20 "$tmp/log" >&2; echo "building $rev failed" >&2; exit 2; }

# Compiles the benchmark against tree $1 and build $2 into $3.
compile() {
  local l a=()
  for l in "${libs[@]}"; do a+=("$2/libkestrane_$l.a"); done
  g++ -O2 -std=c++17 -I"$1" "$root/bench/writer_speed.cpp" \
    -Wl,--start-group "${a[@]}" -Wl,--end-group -lz -o "$3"
}
compile "$tmp/tree" "$tmp/old" "$tmp/older" && compile "$src" "$build" "$tmp/build" || exit 2

# Instructions of program $1 writing $2 blocks.
irefs() {
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$1" "$2" 2>&1 > /dev/null |
    awk '/I +refs:/ {gsub(",", "", $NF); print $NF}'
}
changes=$(git -C "$src" diff --quiet HEAD -- || echo "+changes")
declare -A label=([older]="$(git -C "$root" describe --tags --always "$rev")"
  [build]="build ($(git -C "$src" rev-parse --short HEAD)$changes)")
printf "%-6s %-26s %14s %7s%s\n" side revision instructions ratio \
  "$([ "$secs" = 1 ] && printf " %10s" "seconds(5)")"
base=""
bad=0
for side in older build; do
  i1=$(irefs "$tmp/$side" 1) i0=$(irefs "$tmp/$side" 0)
  if [ -z "$i1" ] || [ -z "$i0" ]; then echo "callgrind gave no count for $side" >&2; exit 2; fi
  n=$((i1 - i0))
  [ -z "$base" ] && base=$n
  ratio=$(awk -v a="$n" -v b="$base" 'BEGIN {printf "%.4f", a / b}')
  printf "%-6s %-26s %14s %7s" "$side" "${label[$side]}" "$n" "$ratio"
  [ "$secs" = 1 ] && printf " %10s" "$("$tmp/$side" 5 2>&1 > /dev/null)"
  flag=""
  if [ "$side" = build ] && awk -v r="$ratio" -v m="$max" 'BEGIN {exit !(r > m)}'; then
    flag="  OVER $max"; bad=1
  fi
  echo "$flag"
done
exit "$bad"
