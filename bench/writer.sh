#!/usr/bin/env bash
# Instructions the standard-output writer spends on a result block with a
# 3,000,000-value "v" line (bench/writer_speed.cpp), in a build against an
# older revision, counted by callgrind: unlike seconds, the counts repeat
# from run to run within a few dozen, so a small slowdown of the writer
# shows. The count is that of one block minus that of none, which leaves
# out the start and the model's set-up. Then the system calls per line
# flushed by std::endl, counted by strace (20,000 lines minus none), with
# standard output on /dev/null, on a regular file, on a pipe, on a terminal
# that the run opens anew (a pseudo-terminal's slave side, "tty") and on
# one it cannot (the master side, "pty-master": each write waits in poll,
# then blocks with a timer set to interrupt it): each flush costs calls,
# and a run flushes every progress line.
#
#   bench/writer.sh [-r REV] [-b BUILD_DIR] [-x RATIO] [-s]
#
# -r: the older revision (default 61e2fa9), its libraries built from its
# git archive in a temporary folder; -b: the build whose libraries are
# measured (default build/), a Release one; -x: the largest ratio
# build/older allowed (default 1.02); -s: also the wall-clock seconds of a
# plain run of 5 blocks each. Exit status 1 when the ratio is above the
# allowed one, or when the build makes more than 3 calls per line to
# /dev/null, the file or the terminal, more than 4 to the pipe, or more
# than 6 to the master side; 2 when it cannot measure. Without strace the
# calls are not counted, without python3 the terminals are left out.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
rev=61e2fa9
build="$root/build"
max=1.02
secs=0
# Calls per flushed line allowed to the build, by output.
declare -A max_calls=([null]=3 [file]=3 [pipe]=4 [tty]=3 [pty-master]=6)
lines=20000
while getopts "r:b:x:sh" opt; do
  case "$opt" in
    r) rev="$OPTARG" ;;
    b) build="$OPTARG" ;;
    x) max="$OPTARG" ;;
    s) secs=1 ;;
    *) sed -n '2,25p' "$0"; exit 2 ;;
  esac
done
# A Debug or sanitizer build spends its instructions elsewhere than the
# older revision's Release one: the ratio would say nothing.
[ -f "$build/CMakeCache.txt" ] ||
  { echo "$build/CMakeCache.txt not found (build it or pass -b)" >&2; exit 2; }
type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")
[ "$type" = Release ] ||
  { echo "$build: CMAKE_BUILD_TYPE is '$type', not Release: build one with scripts/build.sh release or pass -b" >&2; exit 2; }
grep -qiE '^KESTRANE_SANITIZE:BOOL=(ON|TRUE|YES|1)$' "$build/CMakeCache.txt" &&
  { echo "$build is built with the sanitizers: pass a plain Release build with -b" >&2; exit 2; }
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
# Everything goes in one temporary folder, removed however the script ends;
# the tools' own temporary files go there too. The older revision's tree
# is an unpacked archive, so the repository gets no worktree entry.
tmp=""
trap '[ -z "$tmp" ] || rm -rf "$tmp"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP
tmp="$(mktemp -d)" || exit 2
export TMPDIR="$tmp"

mkdir "$tmp/tree" || exit 2
git -C "$root" archive --format=tar "$rev" | tar -x -C "$tmp/tree" ||
  { echo "unpacking $rev failed" >&2; exit 2; }
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
# One command substitution per statement: bash 5.2 fails to run a trap
# that comes during one of several in the same statement.
older_label=$(git -C "$root" describe --tags --always "$rev")
build_label="build ($(git -C "$src" rev-parse --short HEAD)$changes)"
declare -A label=([older]="$older_label" [build]="$build_label")
printf "%-6s %-26s %14s %7s%s\n" side revision instructions ratio \
  "$([ "$secs" = 1 ] && printf " %10s" "seconds(5)")"
base=""
bad=0
for side in older build; do
  i1=$(irefs "$tmp/$side" 1)
  i0=$(irefs "$tmp/$side" 0)
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

# System calls per flushed line. A missing or blocked strace skips this
# part and leaves the exit status to the instructions.
if ! command -v strace > /dev/null; then
  echo "strace not found: system calls per line not counted" >&2
  exit "$bad"
fi
if ! strace -f -c -o /dev/null true > /dev/null 2> "$tmp/strace.log"; then
  echo "strace cannot trace here ($(head -n 1 "$tmp/strace.log")): system calls per line not counted" >&2
  exit "$bad"
fi
# Runs a command with standard output one side of a new pseudo-terminal
# ("master" or "slave", the first argument) while it reads the other side
# until the command ends. The terminal is raw: no echo, no line editing,
# no output processing, so what is written is read back as it is.
cat > "$tmp/on_terminal.py" << 'EOF'
import os, pty, select, subprocess, sys, tty
master, slave = pty.openpty()
tty.setraw(slave)
out, other = (master, slave) if sys.argv[1] == "master" else (slave, master)
p = subprocess.Popen(sys.argv[2:], stdout=out)
os.close(out)  # the other side then reads an end (EIO) once the command ends
while p.poll() is None or select.select([other], [], [], 0)[0]:
    if select.select([other], [], [], .1)[0]:
        try:
            if not os.read(other, 1 << 16):
                break
        except OSError:
            break
sys.exit(p.wait())
EOF
outs=(null file pipe)
if command -v python3 > /dev/null; then
  outs+=(tty pty-master)
else
  echo "python3 not found: the terminals left out" >&2
fi
# System calls of program $1 writing $2 flushed lines to output $3; the
# summary's rows, not its total line, whose columns vary between versions.
calls() {
  local st=(strace -f -c -o "$tmp/summary" "$1" endl "$2")
  case "$3" in
    null) "${st[@]}" > /dev/null ;;
    file) "${st[@]}" > "$tmp/out" ;;
    pipe) "${st[@]}" | cat > /dev/null ;;
    tty) python3 "$tmp/on_terminal.py" slave "${st[@]}" ;;
    pty-master) python3 "$tmp/on_terminal.py" master "${st[@]}" ;;
  esac 2> "$tmp/strace.log" || return
  awk '/^-/ {part++; next} part == 1 && NF >= 5 {n += $4} END {if (n) print n}' "$tmp/summary"
}
echo
printf "%-6s %-10s %14s\n" side output "calls/line"
for side in older build; do
  for out in "${outs[@]}"; do
    c1=$(calls "$tmp/$side" "$lines" "$out")
    c0=$(calls "$tmp/$side" 0 "$out")
    if [ -z "$c1" ] || [ -z "$c0" ]; then
      cat "$tmp/strace.log" >&2; echo "strace gave no count for $side to $out" >&2; exit 2
    fi
    per=$(awk -v a="$c1" -v b="$c0" -v n="$lines" 'BEGIN {printf "%.2f", (a - b) / n}')
    flag=""
    if [ "$side" = build ] && awk -v p="$per" -v m="${max_calls[$out]}" 'BEGIN {exit !(p > m)}'; then
      flag="  OVER ${max_calls[$out]}"; bad=1
    fi
    printf "%-6s %-10s %14s%s\n" "$side" "$out" "$per" "$flag"
  done
done
exit "$bad"
