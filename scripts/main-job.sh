#!/usr/bin/env bash
# The main job on a fresh machine: installs what is missing, builds the module
# and the host tool (nothing else), shows what the module is, and renders the
# built-in test card through it with the default parameters and with a
# feathered matte, plus the viewer with the on-screen controls drawn.
# Pictures go to out/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# Only what it runs: the module, the tool and its picture library.
scripts/build.sh --tool
mkdir -p out
host=build/quorvel-host

echo "== the module"
"$host" inspect
"$host" about

echo "== renders"
"$host" render --out out/quorvel-default.png
"$host" render --out out/quorvel-feathered.png \
  --width 1400 --height 800 --feather 250 --angle 20 --falloff gaussian
"$host" overlay --out out/quorvel-overlay.png \
  --width 900 --height 500 --feather 120 --angle 20
