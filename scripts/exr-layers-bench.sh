#!/usr/bin/env bash
# A render's shot of many layers against the image library's own tool: twelve
# 1920x1080 half-float EXR frames of 20 channels (colour, depth, disparity,
# motion, normals, a second view, position; zip, with noise), rendered by
# quorvel-host and copied by oiiotool, timed back to back in each of ROUNDS
# rounds (default 3), so the ratio is taken in one run whatever the machine's
# load. Then the peak resident memory of one single-frame render against the
# frame's bytes. Exits non-zero when the tool's output, or oiiotool's copy,
# does not keep the input's channels (names and types) and compression, or
# when the tool changed a channel other than the colour and alpha it
# renders. Installs oiiotool (Debian's openimageio-tools) and GNU time
# (Debian's time, for the peak memory) when they are missing; run after
# scripts/build.sh.
#   scripts/exr-layers-bench.sh [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-3}
host=$PWD/build/quorvel-host
scripts/install-deps.sh bench  # oiiotool
# GNU time, for the peak resident memory (%M).
if [[ ! -x /usr/bin/time ]]; then
  echo "installing: time" >&2
  sudo=()
  if [[ $(id -u) -ne 0 ]]; then sudo=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends time >/dev/null
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "exr-layers-bench: $*" >&2; exit 1; }

width=1920 height=1080 nchannels=20
names=R,G,B,A,Z,disparity.X,disparity.Y,forward.X,forward.Y,backward.X,backward.Y
names+=,N.X,N.Y,N.Z,left.R,left.G,left.B,left.A,P.X,P.Y
others=${names#R,G,B,A,}  # the 16 channels after the colour and alpha

# The test card for the colour and alpha, sixteen smooth ramps (one a
# channel, each its own way across the frame) for the rest, all with noise,
# so that the frames compress as a render's do.
"$host" render --size ${width}x$height --host premiere --out "$scratch/card.exr" --out-format half >/dev/null
ramps="topleft=0.1,0.2,0.3,0.4,0.5,0.6,0.7,0.8,0.9,1,1.1,1.2,1.3,1.4,1.5,1.6"
ramps+=":topright=0,0,0,0,0,0,0,0,1,1,1,1,1,1,1,1"
ramps+=":bottomleft=1,1,1,1,1,1,1,1,0,0,0,0,0,0,0,0"
ramps+=":bottomright=1.6,1.5,1.4,1.3,1.2,1.1,1,0.9,0.8,0.7,0.6,0.5,0.4,0.3,0.2,0.1"
oiiotool "$scratch/card.exr" --pattern noise:type=gaussian:mean=0:stddev=0.02 ${width}x$height 4 --add \
  --pattern fill:"$ramps" ${width}x$height 16 \
  --pattern noise:type=gaussian:mean=0:stddev=0.02 ${width}x$height 16 --add \
  --chappend --chnames "$names" -d half --compression zip -o "$scratch/frame.exr"
for f in $(seq 1 12); do cp "$scratch/frame.exr" "$(printf '%s/in.%04d.exr' "$scratch" "$f")"; done

# What a copy must keep: the channel list (names, and types where they
# differ), the data format and the compression.
layout() {
  oiiotool --info -v "$1" | awk '
    NR == 2 { sub(/^[^:]*: */, ""); print }   # 1920 x 1080, 20 channel, half openexr
    /^ *channel list:/ || /^ *compression:/ { sub(/^ */, ""); print }'
}
want=$(layout "$scratch/in.0001.exr")
grep -q "$nchannels channel, half openexr" <<<"$want" || fail "the input frame is not $nchannels half channels: $want"
grep -q 'compression: "zip"' <<<"$want" || fail "the input frame is not zip: $want"

# Wall seconds of a command; a command that fails stops the bench.
seconds() {
  local start=$EPOCHREALTIME
  "$@" >/dev/null 2>"$scratch/stderr" || { cat "$scratch/stderr" >&2; fail "failed: $*"; }
  awk "BEGIN { print $EPOCHREALTIME - $start }"
}
printf '%-6s %12s %12s %8s\n' round "ours s" "oiiotool s" ratio
for r in $(seq 1 "$rounds"); do
  rm -f "$scratch"/out.* "$scratch"/copy.*
  ours=$(seconds "$host" render --frames 1-12 --quiet \
    --in "$scratch/in.####.exr" --out "$scratch/out.####.exr")
  # oiiotool spells four digits as one #.
  theirs=$(seconds oiiotool --frames 1-12 "$scratch/in.#.exr" -o "$scratch/copy.#.exr")
  printf '%-6s %12.2f %12.2f %8.3f\n' "$r" "$ours" "$theirs" "$(awk "BEGIN { print $ours / $theirs }")"
done
[[ -f "$scratch/out.0012.exr" ]] || fail "quorvel-host wrote no frames"
[[ -f "$scratch/copy.0012.exr" ]] || fail "oiiotool wrote no frames"
for f in 0001 0012; do
  [[ $(layout "$scratch/out.$f.exr") == "$want" ]] ||
    fail "out.$f.exr does not keep the input's channels and compression:"$'\n'"$(layout "$scratch/out.$f.exr")"$'\n'"input:"$'\n'"$want"
  [[ $(layout "$scratch/copy.$f.exr") == "$want" ]] ||
    fail "oiiotool's copy.$f.exr does not keep the input's channels and compression"
done
# The matte is rendered into the colour and alpha; the sixteen other channels
# must come out as they went in, bit for bit.
oiiotool --fail 0 --failpercent 0 "$scratch/in.0001.exr" --ch "$others" \
  "$scratch/out.0001.exr" --ch "$others" --diff >/dev/null || fail "out.0001.exr changed a channel it does not render"
echo "channels: $nchannels half (${names//,/ }), zip, kept by both"
echo "bytes per frame: input $(stat -c %s "$scratch/in.0001.exr"), output $(stat -c %s "$scratch/out.0001.exr")"

# Peak resident memory of one single-frame render, against the frame's bytes;
# and less what the tool takes for a 16x16 frame of the same channels (the
# tool, the module and the image library loaded), as docs/performance.md's
# memory section counts it.
peak_kb() { /usr/bin/time -f %M -o "$scratch/peak" "$host" render --quiet --in "$1" --out "$2" >/dev/null; cat "$scratch/peak"; }
oiiotool "$scratch/in.0001.exr" --cut 16x16+0+0 --compression zip -o "$scratch/tiny.exr"
base_kb=$(peak_kb "$scratch/tiny.exr" "$scratch/tiny-out.exr")
frame_kb=$(peak_kb "$scratch/in.0001.exr" "$scratch/one.exr")
frame_bytes=$((nchannels * 2 * width * height))
awk -v peak="$frame_kb" -v base="$base_kb" -v frame="$frame_bytes" 'BEGIN {
  printf "frame: %.1f MB (%d channels x 2 bytes x %d pixels)\n", frame / 1e6, '"$nchannels"', frame / 2 / '"$nchannels"'
  printf "peak resident, one frame: %.1f MB = %.2f frames\n", peak * 1024 / 1e6, peak * 1024 / frame
  printf "peak resident, 16x16 frame (base): %.1f MB\n", base * 1024 / 1e6
  printf "peak less base: %.1f MB = %.2f frames\n", (peak - base) * 1024 / 1e6, (peak - base) * 1024 / frame
}'
