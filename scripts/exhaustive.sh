#!/usr/bin/env bash
# The falloff curves' exhaustive test (every float argument in [0, 1], each
# implementation against the exact expression), on the Linux build and on
# the Windows build under Wine, whose maths library is another. A few
# minutes each on two cores; a CI stage of its own. Exits non-zero on any
# difference.
#
# usage: scripts/exhaustive.sh [linux|windows]   (default: both)
set -euo pipefail
cd "$(dirname "$0")/.."
which=${1:-both}
case $which in
  linux | windows | both) ;;
  *)
    echo "usage: $0 [linux|windows]" >&2
    exit 2
    ;;
esac

if [[ $which != windows ]]; then
  echo "== Linux build"
  scripts/install-deps.sh
  scripts/build.sh
  ctest --test-dir build -V -L exhaustive
fi
if [[ $which != linux ]]; then
  echo "== Windows build, under Wine"
  scripts/install-deps.sh windows
  cmake --preset windows >/dev/null
  cmake --build --preset windows --target falloff_exhaustive_test
  source scripts/wine-session.sh
  ctest --preset windows-exhaustive
fi
