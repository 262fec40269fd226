#!/usr/bin/env bash
# The main job on a fresh machine: installs what is missing, builds the module
# and the host tool, then loads the module and shows what it is.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
echo "== inspect"
build/quorvel-host inspect
echo "== about"
build/quorvel-host about
echo "== params"
build/quorvel-host params
