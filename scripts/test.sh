#!/usr/bin/env bash
# The whole test suite on a fresh machine: installs what is missing, builds
# (reusing what the main job built), and runs every test but the exhaustive
# one. Exits non-zero on any failure. CI sets QUORVEL_WERROR=ON to make
# warnings errors.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
# The falloff curves' exhaustive test is a CI stage of its own
# (scripts/exhaustive.sh): minutes, where the rest takes under one.
ctest --test-dir build --output-on-failure -j "$(nproc)" -LE exhaustive
