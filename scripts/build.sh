#!/usr/bin/env bash
# Configures and builds into build/ (Release with debug info, Ninja).
# Warnings are errors when QUORVEL_WERROR=ON is in the environment (CI sets
# it); every other caller gets the same configuration, so the main job and
# the test suite share one build. With --tool first, only the module, the
# tool and its picture library are built (all the main job runs); otherwise
# everything, the tests and the benchmark included. Further arguments go to
# the CMake configure step. CMAKE_BUILD_PARALLEL_LEVEL caps the build's jobs.
set -euo pipefail
cd "$(dirname "$0")/.."
targets=()
if [[ ${1:-} == --tool ]]; then
  shift
  targets=(--target quorvel-host)
fi
cmake -S . -B build -G Ninja -DQUORVEL_WERROR="${QUORVEL_WERROR:-OFF}" "$@" >/dev/null
cmake --build build "${targets[@]}"
