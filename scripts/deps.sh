#!/usr/bin/env bash
# Installs what building and testing Kestrane needs on a Debian machine, only
# when something is missing. Pass --tests to add the reference solvers that
# the test suite compares against (never linked into the product).
set -euo pipefail
pkgs=(cmake ninja-build g++ zlib1g-dev libgtest-dev)
if [ "${1:-}" = "--tests" ]; then
  pkgs+=(cadical clasp z3 gzip)
fi
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi
