#!/usr/bin/env bash
# The whole test suite on a fresh machine: installs what is missing, builds
# with warnings as errors, and runs every test. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh -DQUORVEL_WERROR=ON
ctest --test-dir build --output-on-failure -j "$(nproc)"
