#!/usr/bin/env bash
# Makes docs/images/quorvel-premultiplied-over-grey.png: the test card as a
# premultiplied EXR plate, and its render with a feathered ellipse in Create
# mode, each composited over grey with OpenImageIO's oiiotool
# (scripts/install-deps.sh bench). Run from the repository after a build.
set -euo pipefail
cd "$(dirname "$0")/../.."
host=$PWD/build/quorvel-host
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# A matte of no opacity added to the card's alpha leaves it as it is: the
# plate is the card, premultiplied as every EXR is.
"$host" render --size 960x540 --host premiere --depth 32f --composite add --width 1 --height 1 --opacity 0 \
  --out "$scratch/plate.exr" >/dev/null
"$host" render --in "$scratch/plate.exr" --out "$scratch/matted.exr" --width 800 --height 440 --origin 480,330 \
  --feather 120 --falloff gaussian >/dev/null
oiiotool --pattern constant:color=0.5,0.5,0.5,1 960x540 4 -o "$scratch/grey.exr"
oiiotool "$scratch/plate.exr" "$scratch/grey.exr" --over -o "$scratch/a.exr"
oiiotool "$scratch/matted.exr" "$scratch/grey.exr" --over -o "$scratch/b.exr"
oiiotool "$scratch/a.exr" "$scratch/b.exr" --mosaic:pad=16 2x1 --resize 960x0 --ch R,G,B -d uint8 \
  -o docs/images/quorvel-premultiplied-over-grey.png
