#!/bin/sh
# A tree configured the way `make run` and a release build configure it, with
# no options, builds a release: the version in its title carries no β.
set -eu
cmake=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$cmake" -S "$source" -B "$work" -G Ninja -DKALVEX_BENCH=OFF >/dev/null
grep -qx 'KALVEX_PRERELEASE:BOOL=OFF' "$work/CMakeCache.txt" || {
  echo "a tree configured without options is marked as a pre-release" >&2
  exit 1
}
