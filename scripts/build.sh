#!/usr/bin/env bash
# Configures and builds into build/ (Release with debug info, Ninja).
# Warnings are errors when QUORVEL_WERROR=ON is in the environment (CI sets
# it); every other caller gets the same configuration, so the main job and
# the test suite share one build. Extra arguments go to the CMake configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DQUORVEL_WERROR="${QUORVEL_WERROR:-OFF}" "$@" >/dev/null
cmake --build build
