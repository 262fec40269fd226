#!/usr/bin/env bash
# Configures and builds into build/ (Release with debug info, Ninja).
# Extra arguments go to the CMake configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja "$@" >/dev/null
cmake --build build
