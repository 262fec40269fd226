#!/usr/bin/env bash
# A pipeline's shot against the image library's own tool: twelve 3840x2160
# half-float EXR frames (zip, with grain), rendered by quorvel-host and copied by
# oiiotool, timed back to back in each of ROUNDS rounds (default 3), so
# the ratio is taken in one run whatever the machine's load. Also the bytes
# of an output frame against an input frame. Installs oiiotool (Debian's
# openimageio-tools) when it is missing; run after scripts/build.sh.
#   scripts/exr-shot-bench.sh [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-3}
host=$PWD/build/quorvel-host
scripts/install-deps.sh bench  # oiiotool
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The test card with film grain, so the frames compress as a plate does.
"$host" render --size 3840x2160 --host premiere --out "$scratch/card.exr" --out-format half >/dev/null
oiiotool "$scratch/card.exr" --pattern noise:type=gaussian:mean=0:stddev=0.02 3840x2160 4 --add \
  -d half --compression zip -o "$scratch/plate.exr"
for f in $(seq 1 12); do cp "$scratch/plate.exr" "$(printf '%s/in.%04d.exr' "$scratch" "$f")"; done

seconds() { local start=$EPOCHREALTIME; "$@" >/dev/null 2>&1; awk "BEGIN { print $EPOCHREALTIME - $start }"; }
printf '%-6s %12s %12s %8s\n' round "ours s" "oiiotool s" ratio
for r in $(seq 1 "$rounds"); do
  rm -f "$scratch"/out.* "$scratch"/copy.*
  ours=$(seconds "$host" render --frames 1-12 --host premiere --quiet \
    --in "$scratch/in.####.exr" --out "$scratch/out.####.exr")
  # oiiotool spells four digits as one #.
  theirs=$(seconds oiiotool --frames 1-12 "$scratch/in.#.exr" -o "$scratch/copy.#.exr")
  printf '%-6s %12.2f %12.2f %8.3f\n' "$r" "$ours" "$theirs" "$(awk "BEGIN { print $ours / $theirs }")"
done
[[ -f "$scratch/copy.0012.exr" ]] || { echo "exr-shot-bench: oiiotool wrote no frames" >&2; exit 1; }
in_bytes=$(stat -c %s "$scratch/in.0001.exr")
out_bytes=$(stat -c %s "$scratch/out.0001.exr")
echo "bytes per frame: input $in_bytes, output $out_bytes ($(oiiotool --info "$scratch/out.0001.exr" | sed 's/.*: //'))"
