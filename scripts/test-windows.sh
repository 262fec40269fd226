#!/usr/bin/env bash
# The Windows module and its tests on a Debian machine: installs the cross
# compiler and Wine when missing, builds build-win/ (warnings as errors),
# checks the module's shape against the Linux build's descriptor, and runs
# the test suite under Wine in a throw-away prefix. Then the Windows tool:
# what it refuses without the picture libraries, and a sweep of renders and
# drags compared byte for byte with the Linux build's. Exits non-zero on any
# failure or difference.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh windows

echo "== Windows build (build-win/)"
cmake --preset windows -DQUORVEL_WERROR=ON >/dev/null
cmake --build --preset windows

echo "== module shape"
scripts/build.sh  # the Linux build, for its descriptor and quorvel-host; up to date after scripts/test.sh
scripts/check-windows-module.sh build build-win

echo "== tests under Wine"
sweeps=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-sweeps.XXXXXX")
source scripts/wine-session.sh
wine_session_cleanup_paths+=("$sweeps")
ctest --preset windows

echo "== the Windows tool without the picture libraries"
scripts/check-npy-only-tool.sh scripts/wine-run.sh build-win/quorvel-host.exe

echo "== sweep: the Linux build against the Windows build under Wine"
scripts/render-sweep.sh "$sweeps/linux" build/quorvel-host
status=0
scripts/render-sweep.sh "$sweeps/windows" scripts/wine-run.sh build-win/quorvel-host.exe || status=$?
# A Windows sweep that ran to the end is compared even when it reports a
# missed handle: every difference is worth seeing.
if [[ -f $sweeps/windows/cases.txt ]]; then
  scripts/compare-sweeps.sh "$sweeps/linux" "$sweeps/windows" || status=1
fi
exit "$status"
