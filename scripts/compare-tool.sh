#!/usr/bin/env bash
# Two builds of the tool, invocation by invocation: one table of command
# lines (below, a row each) is run with each tool, and for every row the
# standard output, the standard error, the exit status and every file the
# row leaves must be the same byte for byte. Used to show that a change meant to leave the tool's behaviour
# alone (a restructuring of its code) does: its help, its refusals and
# their words, its renders, drags and key text, its shots.
#
# usage: scripts/compare-tool.sh OLD_TOOL NEW_TOOL
#   scripts/compare-tool.sh /tmp/old/build/quorvel-host build/quorvel-host
#
# Each tool is run as built, with its module (and picture library) beside
# it. The inputs are made once, by the old tool and by oiiotool where it is
# installed (multi-layer and multi-part EXRs and a stated pixel aspect
# ratio; without it the rows that need them are left out, and the summary
# says how many): small plates of the test card in several formats,
# numbered sequences with a missing and an unlike frame, key files in JSON
# and keyframe text, tracker exports. Every row runs in a folder of its own
# holding those inputs (hard links), at the same path for both tools, with
# SOURCE_DATE_EPOCH, TZ and the locale fixed, so that only what must differ
# between two builds does, and only that is rewritten before comparing:
#   - the tool's own path and its folder (where --version and inspect find
#     the module) read TOOL and TOOLDIR;
#   - the module's size, which inspect prints on its first line, reads N;
#   - a shot's progress lines ("frame 2 rendered  1/4 frames  7.3 frames/s
#     0:01 left") lose their count, rate and time, and are compared as a
#     sorted list after the other lines: frames are read, rendered and
#     written at once, so the order in which they are done is the
#     scheduler's, even with --jobs 1; the summary's time and rate ("in
#     0:00 (7.3 frames/s,") read T and N, as they are the clock's;
#   - the memory a refused render says the machine can give reads M, as it
#     is what the machine has free at that moment;
#   - the process id in the name of a temporary file (".tmp-13497-2-s.npy")
#     reads PID.
# Prints one line (N invocations, M identical; the rows left out), then
# each difference as a unified diff; exits 1 on any difference, 2 on bad
# input. A row is NAME then a shell command line, in which `q` is the tool,
# $module its module; a row may prepare its folder or its limits with other
# commands before `q`.
set -euo pipefail

if [[ $# -ne 2 ]]; then
  echo "usage: $0 OLD_TOOL NEW_TOOL" >&2
  exit 2
fi
for tool in "$1" "$2"; do
  if [[ ! -x $tool || -d $tool ]]; then
    echo "$0: $tool: not a program" >&2
    exit 2
  fi
  if [[ ! -f $(dirname "$tool")/VT_Quorvel.aex ]]; then
    echo "$0: $tool: no VT_Quorvel.aex beside it" >&2
    exit 2
  fi
done
old=$(realpath "$1")
new=$(realpath "$2")
template=$(cd "$(dirname "$0")/.." && pwd)/man/quorvel-host.1.in

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-tool.XXXXXX")
trap 'rm -rf "$work"' EXIT
export SOURCE_DATE_EPOCH=1700000000 TZ=UTC LC_ALL=C
have_oiiotool=false
if command -v oiiotool >/dev/null; then have_oiiotool=true; fi

# ---------------------------------------------------------------------------
# The inputs, made once.

# Keyframe text: '|' stands for a tab, and the title is the tool's own.
keytext() {
  local file=$1
  tr '|' '\t' | sed "1s/^TITLE\$/$title/" >"$file"
}

# A .npy frame of premiere's 32-bit float BGRA, 4x4, every colour 2 and
# alpha 1: values above 1 that an 8- or 16-bit host clips.
hot_npy() {
  local header="{'descr': '<f4', 'fortran_order': False, 'shape': (4, 4, 4), }"
  while (((10 + ${#header} + 1) % 64)); do header+=" "; done
  {
    printf '\x93NUMPY\x01\x00'
    printf '%b' "\\x$(printf '%02x' $((${#header} + 1)))\\x00"
    printf '%s\n' "$header"
    for _ in $(seq 16); do printf '\x00\x00\x00\x40\x00\x00\x00\x40\x00\x00\x00\x40\x00\x00\x80\x3f'; done
  } >"$1"
}

make_inputs() {
  local t=$old
  mkdir -p "$work/in"
  cd "$work/in"
  r() { "$t" render "$@" >/dev/null; }
  title=$("$t" keys --key width@0=1 | head -1)

  # Plates of the test card: 8 and 16 bits, float, straight and premultiplied.
  r --size 64x48 --out card.png
  r --size 64x48 --composite add --opacity 0 --out soft.png
  r --size 64x48 --composite add --opacity 0 --out soft.dpx
  r --size 64x48 --depth 16 --out card16.tif
  r --size 64x48 --host premiere --depth 32f --composite add --opacity 0 --out card.exr
  r --size 64x48 --out card.npy
  r --size 64x48 --depth 16 --out card16.npy
  r --size 64x48 --host premiere --depth 32f --out cardf.npy
  r --size 32x24 --out small.png
  hot_npy hot.npy
  r --in hot.npy --host premiere --depth 32f --composite add --opacity 0 --out hot.exr
  head -c 200 card.png >cut.png
  printf 'not a frame\n' >junk.npy
  : >empty.aex
  if [[ -f $template ]]; then cp "$template" page.1.in; fi

  # Sequences: each frame its own, then one with a gap and one with an unlike frame.
  r --in card.png --frames 1001-1006 --jobs 1 --quiet --key width@1001=10 --key width@1006=60 --out plate.%04d.png
  r --in card.exr --frames 1001-1004 --jobs 1 --quiet --key opacity@1001=20 --key opacity@1004=90 --out plate.%04d.exr
  r --in card.npy --frames 1-8 --jobs 1 --quiet --key angle@1=0 --key angle@8=90 --out seq.%04d.npy
  for f in 1001 1002 1003 1005 1006; do ln plate.$f.png gap.$f.png; done
  for f in 1001 1002 1004; do ln plate.$f.png unlike.$f.png; done
  ln small.png unlike.1003.png
  for f in 1 2 4 5 6; do ln seq.000$f.npy cutseq.000$f.npy; done
  head -c 3000 seq.0003.npy >cutseq.0003.npy
  # Output frames a killed run left: 1 complete, 2 of another size, 3
  # missing, 4 cut short, 5 complete.
  r --in card.npy --frames 1-5 --jobs 1 --quiet --key angle@1=0 --key angle@8=90 --out prev.%04d.npy
  rm prev.0002.npy prev.0003.npy
  r --size 32x24 --out prev.0002.npy
  truncate -s 2000 prev.0004.npy
  r --in card.npy --frames 1-5 --jobs 1 --quiet --key angle@1=0 --key angle@8=90 --out done.%04d.npy

  # Key files: JSON.
  cat >keys.json <<'EOF'
{
  "origin": [{"frame": 1, "value": [10, 10]}, {"frame": 8, "value": [50, 40], "interpolation": "ease"}],
  "width":  [{"frame": 1, "value": 10}, {"frame": 4, "value": 40, "interpolation": "hold"}, {"frame": 8, "value": 20}],
  "opacity": [{"frame": 2, "value": 100, "interpolation": "ease"}, {"frame": 7, "value": 30}]
}
EOF
  printf '{"width": [{"frame": 1,, "value": 3}]}\n' >broken.json
  printf '  \n' >blank.json
  printf 'hello there\n' >neither.txt
  printf '[1, 2]\n' >array.json
  printf '{"size": [{"frame": 1, "value": 3}]}\n' >badname.json
  printf '{"width": 3}\n' >notlist.json
  printf '{"width": [{"frame": 1}]}\n' >novalue.json
  printf '{"width": [{"value": 3}]}\n' >noframe.json
  printf '{"width": [{"frame": 1, "value": 3, "speed": 2}]}\n' >extra.json
  printf '{"width": [{"frame": 1, "value": 3, "interpolation": "bounce"}]}\n' >badinterp.json
  printf '{"width": [{"frame": 1, "value": [3, 4]}]}\n' >pair.json
  printf '{"origin": [{"frame": 1, "value": 3}]}\n' >single.json
  printf '{"width": [{"frame": 1, "value": "wide"}]}\n' >text.json
  printf '{"width": [{"frame": 1, "value": 3}, {"frame": 1, "value": 4}]}\n' >twice.json
  printf '{"invert": [{"frame": 1, "value": 1}]}\n' >invert.json
  printf '{"opacity": [{"frame": 1, "value": 150}, {"frame": 2, "value": 40}], "feather": [{"frame": 1, "value": -5}, {"frame": 2, "value": -7.5}]}\n' >clamp.json
  # Past each key file limit, without the bytes: sparse files.
  truncate -s 1025M huge.txt
  truncate -s 257M huge.json

  # Keyframe text of this effect, at 24 frames/s, as the host copies it.
  keytext width.txt <<'EOF'
TITLE

|Units Per Second|24
|Source Width|64
|Source Height|48
|Source Pixel Aspect Ratio|1
|Comp Pixel Aspect Ratio|1

Effects|VT Quorvel #1|Width #4
|Frame|pixels|
|0|10|
|4|50|

Effects|VT Quorvel #1|Opacity #8
|Frame|percent|
|0|100|
|2|40|

End of Keyframe Data
EOF
  sed 's/Second\t24$/Second\t30/' width.txt >rate30.txt
  sed 's/Pixel Aspect Ratio.1$/Pixel Aspect Ratio\t2/' width.txt >par2.txt
  sed 's/Source Pixel Aspect Ratio.1$/Source Pixel Aspect Ratio\t0.0/' width.txt >par0.txt
  sed 's/$/\r/' width.txt >crlf.txt
  tr '\n' '\r' <width.txt >cr.txt
  # From the host's clipboard: a transform block and another effect's among ours.
  keytext copy.txt <<'EOF'
TITLE

|Units Per Second|24

Transform|Position
|Frame|X pixels|Y pixels|Z pixels|
|0|32|24|0|

Effects|VT Quorvel #1|Opacity #8
|Frame|percent|
|100|100.000|
|112|37.5|

Effects|Glow #1|Radius #3
|Frame||
|100|10|

Effects|VT Quorvel #1|Height #5
|Frame||
|104|25|

End of Keyframe Data
EOF
  # Point tracks: one, two whose names do not decide, a tracker's pair.
  keytext track.txt <<'EOF'
TITLE

|Units Per Second|24
|Source Width|64
|Source Height|48

Effects|Track Point #1|Feature Center #1
|Frame|X pixels|Y pixels|
|0|20|10|
|1|22.5|11.25|
|2|25|12.5|
|3|27.5|13.75|
|4|30|15|
|5|32.5|16.25|

End of Keyframe Data
EOF
  sed 's/Source Width.64/Source Width\t1280/' track.txt >track-size.txt
  sed '/^\t[3-5]\t/d' track.txt >track-short.txt
  sed 's/Second\t24$/Second\t23.976/' track.txt >track2398.txt
  keytext tracks.txt <<'EOF'
TITLE

Effects|Point Control #1|Point #1
|Frame|X pixels|Y pixels|
|0|10|10|
|5|20|20|

Effects|Point Control #2|Point #1
|Frame|X pixels|Y pixels|
|0|40|30|
|5|50|40|

End of Keyframe Data
EOF
  keytext tracker.txt <<'EOF'
TITLE

Effects|Track Point #1|Feature Center #1
|Frame|X pixels|Y pixels|
|0|10|10|
|5|20|20|

Effects|Track Point #1|Attach Point #1
|Frame|X pixels|Y pixels|
|0|12|11|
|5|22|21|

End of Keyframe Data
EOF
  # Our origin keyed beside a point track.
  keytext own.txt <<'EOF'
TITLE

Effects|VT Quorvel #1|Point of origin #3
|Frame|X pixels|Y pixels|
|0|5|5|

Effects|Track Point #1|Feature Center #1
|Frame|X pixels|Y pixels|
|0|10|10|

End of Keyframe Data
EOF
  # Two layers' blocks, as the current host copies them.
  keytext layers.txt <<'EOF'
TITLE

|Units Per Second|24

Layer
Effects|VT Quorvel #1|Width #4
|Frame|pixels|
|0|10|
|3|30|

Layer
Effects|Track Point #1|Feature Center #1
|Frame|X pixels|Y pixels|
|0|10|10|
|3|40|30|

End of Keyframe Data
EOF
  # A planar tracker's transform (bare paths, its anchor on every row), a
  # layer's copied transform, and three that cannot be followed.
  keytext surface.txt <<'EOF'
TITLE

|Units Per Second|24

Anchor Point
|Frame|X Pixels|Y Pixels|
|0|32|24|
|4|40|28|

Position
|Frame|X Pixels|Y Pixels|
|0|32|24|
|4|40|28|

Scale
|Frame|X percent|Y percent|
|0|100|100|
|4|140|140|

Rotation
|Frame|Degrees
|0|0|
|4|40|

End of Keyframe Data
EOF
  keytext layer-transform.txt <<'EOF'
TITLE

|Units Per Second|24

Transform|Anchor Point
|Frame|X pixels|Y pixels|Z pixels|
|0|32|24|0|

Transform|Position
|Frame|X pixels|Y pixels|Z pixels|
|0|32|24|0|
|4|36|30|0|

Transform|Scale
|Frame|X percent|Y percent|Z percent|
|0|100|100|100|
|4|50|80|100|

Transform|Rotation
|Frame|degrees|
|0|0|
|4|-30|

End of Keyframe Data
EOF
  keytext scale0.txt <<'EOF'
TITLE

Transform|Scale
|Frame|X percent|Y percent|
|0|0|0|
|4|100|100|

End of Keyframe Data
EOF
  keytext two-positions.txt <<'EOF'
TITLE

Transform|Position
|Frame|X pixels|Y pixels|
|0|10|10|

Transform|Position
|Frame|X pixels|Y pixels|
|0|20|20|

End of Keyframe Data
EOF
  keytext bad-rotation.txt <<'EOF'
TITLE

Transform|Rotation
|Frame|percent|
|0|10|

End of Keyframe Data
EOF
  # Keyframe text that cannot be used, a fault each.
  keytext no-rows.txt <<'EOF'
TITLE

Effects|VT Quorvel #1|Opacity #8
|Frame|percent|

End of Keyframe Data
EOF
  keytext no-end.txt <<'EOF'
TITLE
Transform|Rotation
|Frame|degrees
|0|5
EOF
  keytext after-end.txt <<'EOF'
TITLE
Effects|VT Quorvel #1|Width #4
|Frame|pixels
|0|5

End of Keyframe Data
more
EOF
  keytext stray-row.txt <<'EOF'
TITLE
|0|5
End of Keyframe Data
EOF
  keytext unit.txt <<'EOF'
TITLE
Effects|VT Quorvel #1|Angle #6
|Frame|percent
|0|5

End of Keyframe Data
EOF
  keytext second.txt <<'EOF'
TITLE
Effects|VT Quorvel #1|Width #4
|Frame|pixels
|0|5

Effects|VT Quorvel #1|Width #4
|Frame|pixels
|0|6

End of Keyframe Data
EOF
  keytext instances.txt <<'EOF'
TITLE
Effects|VT Quorvel #1|Width #4
|Frame|pixels
|0|5

Effects|VT Quorvel #2|Height #5
|Frame|pixels
|0|6

End of Keyframe Data
EOF
  keytext unknown-control.txt <<'EOF'
TITLE
Effects|VT Quorvel #1|Sparkle #9
|Frame|pixels
|0|5

End of Keyframe Data
EOF
  keytext fixed.txt <<'EOF'
TITLE
Effects|VT Quorvel #1|Invert #10
|Frame|
|0|1

End of Keyframe Data
EOF
  keytext expression.txt <<'EOF'
TITLE
Effects|VT Quorvel #1|Width #4
|Frame|pixels
|0|5

Transform|Position
Expression Data
wiggle(2, 10)
End of Expression Data

End of Keyframe Data
EOF
  keytext others.txt <<'EOF'
TITLE
Effects|Glow #1|Radius #3
|Frame||
|0|10|

End of Keyframe Data
EOF
  keytext constant.txt <<'EOF'
TITLE
Effects|VT Quorvel #1|Feather #7
|Frame|pixels
||12

End of Keyframe Data
EOF
  keytext clamp.txt <<'EOF'
TITLE

Effects|VT Quorvel #1|Opacity #8
|Frame|percent
|0|250
|1|-1

Effects|VT Quorvel #1|Feather #7
|Frame|pixels
|0|20000

End of Keyframe Data
EOF
  "$t" keys --key width@1001=300 --key width@1040=900:ease --out baked.txt >/dev/null

  if $have_oiiotool; then
    oiiotool card.exr --chnames diffuse.R,diffuse.G,diffuse.B,diffuse.A card.exr \
      --chnames gloss.R,gloss.G,gloss.B,gloss.A --chappend -o layers.exr
    oiiotool card.exr --attrib oiio:subimagename rgba_left card.exr --attrib oiio:subimagename rgba_right \
      --siappend -o stereo.exr
    oiiotool card.exr --attrib PixelAspectRatio 2.0 -o par2.exr
  fi
}

# ---------------------------------------------------------------------------
# The invocations: NAME then the command line. `q` is the tool; rows marked
# [oiiotool] need the inputs oiiotool makes.
read_rows() {
  names=()
  commands=()
  local name command
  local -A seen=()
  while read -r name command; do
    [[ -z $name || $name == \#* ]] && continue
    # A row's name is its folder: two rows of one name would share it.
    if [[ -n ${seen[$name]:-} ]]; then
      echo "$0: two rows are called $name" >&2
      exit 2
    fi
    seen[$name]=1
    names+=("$name")
    commands+=("$command")
  done
}
read_rows <<'ROWS'
# The program, its commands' help, and what it refuses on the command line.
none                      q
help                      q --help
help-short                q -h
version                   q --version
version-no-module         q --version --module nope.aex
version-not-a-module      q --version --module card.png
version-stray             q --version extra
unknown-option            q --bogus
unknown-command           q bogus
manual-page               q manual-page
manual-page-written       q manual-page --template page.1.in --out page.1
help-inspect              q inspect --help
help-about                q about --help
help-params               q params --help
help-render               q render --help
help-render-short         q render -h
help-overlay              q overlay --help
help-drag                 q drag --help
help-handles              q handles --help
help-keys                 q keys --help
unknown-inspect           q inspect --bogus
unknown-about             q about --bogus
unknown-params            q params --bogus
unknown-render            q render --out o.png --bogus
unknown-overlay           q overlay --out o.png --bogus
unknown-drag              q drag --click 1,1 --to 2,2 --bogus
unknown-handles           q handles --bogus
unknown-keys              q keys --key width@0=1 --bogus
stray-about               q about extra
stray-params              q params extra
stray-render              q render --size 64x48 --out o.png extra
stray-overlay             q overlay --in card.png --out o.png extra
stray-drag                q drag --click 1,1 --to 2,2 extra
stray-handles             q handles extra
stray-keys                q keys --key width@0=1 extra
# Inspecting the module.
inspect                   q inspect
inspect-path              q inspect "$module"
inspect-descriptor        q inspect --descriptor-out descriptor.bin
inspect-descriptor-bad    q inspect --descriptor-out nodir/descriptor.bin
inspect-two               q inspect "$module" "$module"
inspect-not-a-module      q inspect card.png
inspect-empty             q inspect empty.aex
inspect-missing           q inspect nope.aex
inspect-module-option     q inspect --module "$module"
about                     q about
about-premiere            q about --host premiere
about-host-bad            q about --host nuke
about-host-missing        q about --host
about-host-twice          q about --host ae --host premiere
about-no-module           q about --module nope.aex
about-empty-module        q about --module empty.aex
params                    q params
params-json               q params --json
params-premiere           q params --host premiere --json
params-json-twice         q params --json --json
# Single frames: formats and layouts.
card-png                  q render --size 64x48 --out o.png
card-short-out            q render --size 64x48 -o o.png
card-equals               q render --size=64x48 --out=o.png
card-tif                  q render --size 64x48 --out o.tif
card-exr                  q render --size 64x48 --out o.exr
card-dpx                  q render --size 64x48 --out o.dpx
card-jpg                  q render --size 64x48 --out o.jpg
card-tga                  q render --size 64x48 --out o.tga
card-sgi                  q render --size 64x48 --out o.sgi
card-bmp                  q render --size 64x48 --out o.bmp
card-hdr                  q render --size 64x48 --host premiere --depth 32f --out o.hdr
card-rla                  q render --size 64x48 --out o.rla
card-npy                  q render --size 64x48 --out o.npy
card-ae16                 q render --size 64x48 --depth 16 --out o.npy
card-pr8                  q render --size 64x48 --host premiere --out o.npy
card-pr32f                q render --size 64x48 --host premiere --depth 32f --out o.npy
card-ae16-tif             q render --size 64x48 --depth 16 --out o.tif
card-pr32f-exr            q render --size 64x48 --host premiere --depth 32f --out o.exr
card-default-size         q render --out o.npy
controls                  q render --size 64x48 --mask-type rectangle --composite subtract --falloff gaussian --origin 20,15 --width 40 --height 30 --feather 8 --angle -17.5 --opacity 60 --invert --out o.npy
controls-intersect        q render --size 64x48 --composite intersect --falloff cubic --feather 10 --width 50 --out o.npy
controls-numbers          q render --size 64x48 --mask-type 7 --composite 9 --falloff 12 --out o.npy
controls-exponential      q render --size 64x48 --falloff exponential --feather 12 --host premiere --depth 32f --out o.npy
downsample                q render --size 64x48 --downsample 1/2,1/3 --out o.npy
par                       q render --size 64x48 --par 10/11 --width 40 --out o.npy
threads                   q render --size 64x48 --threads 1 --out o.npy
row-padding               q render --size 64x48 --row-padding 64 --out o.npy
row-padding-16            q render --size 64x48 --depth 16 --row-padding 6 --out o.npy
row-padding-32f           q render --size 64x48 --host premiere --depth 32f --row-padding 8 --out o.npy
png-in                    q render --in card.png --out o.png
exr-in                    q render --in card.exr --out o.exr --feather 6
exr-to-png                q render --in card.exr --out o.png
png-to-exr                q render --in soft.png --out o.exr
tif16-in                  q render --in card16.tif --out o.tif
tif16-ae                  q render --in card16.tif --host ae --out o.tif
hot-ae                    q render --in hot.exr --host ae --out o.exr
hot-float                 q render --in hot.exr --out o.exr
npy-in                    q render --in card.npy --out o.npy
npy16-in                  q render --in card16.npy --out o.npy
npyf-in                   q render --in cardf.npy --host premiere --out o.npy
npy-premiere              q render --in card.npy --host premiere --out o.npy
dpx-guess                 q render --in soft.dpx --out o.dpx
dpx-alpha                 q render --in soft.dpx --alpha straight --out o.png
png-alpha                 q render --in soft.png --alpha premultiplied --out o.png
exr-alpha                 q render --in card.exr --alpha straight --out o.exr
out-format                q render --in card.exr --out o.exr --out-format half
out-format-png16          q render --in card.png --out o.png --out-format uint16
out-format-dpx10          q render --in card.png --out o.dpx --out-format uint10
compression-piz           q render --in card.exr --out o.exr --compression piz
compression-dwaa          q render --in card.exr --out o.exr --compression dwaa:45
compression-lzw           q render --in card.png --out o.tif --compression lzw
compression-png           q render --in card.png --out o.png --compression zip:9
over-its-input            q render --in card.png --out card.png --width 20
jpg-over-black            q render --in soft.png --out o.jpg
# Single frames: refusals.
no-out                    q render --size 64x48
out-format-bad            q render --size 64x48 --out o.exr --out-format uint10
out-format-unknown        q render --size 64x48 --out o.exr --out-format uint7
compression-bad           q render --size 64x48 --out o.exr --compression foo
compression-other         q render --size 64x48 --out o.dpx --compression zip
compression-npy           q render --size 64x48 --out o.npy --compression zip
compression-level         q render --size 64x48 --out o.exr --compression zip:abc
out-unknown-format        q render --size 64x48 --out o.xyz
out-iff                   q render --size 64x48 --out o.iff
out-no-folder             q render --size 64x48 --out nodir/o.png
out-folder                q render --size 64x48 --out .
in-missing                q render --in nope.png --out o.png
in-folder                 q render --in . --out o.png
in-cut                    q render --in cut.png --out o.png
in-junk                   q render --in junk.npy --out o.npy
in-and-size               q render --in card.png --size 64x48 --out o.png
npy16-premiere            q render --in card16.npy --host premiere --out o.npy
npyf-ae                   q render --in cardf.npy --host ae --out o.npy
npy-depth                 q render --in card.npy --depth 16 --out o.npy
depth-host                q render --size 64x48 --host ae --depth 32f --out o.npy
depth-host-premiere       q render --size 64x48 --host premiere --depth 16 --out o.npy
depth-bad                 q render --size 64x48 --depth 12 --out o.npy
host-bad                  q render --size 64x48 --host nuke --out o.npy
size-zero                 q render --size 0x10 --out o.npy
size-large                q render --size 20000x10 --out o.npy
size-one-number           q render --size 10 --out o.npy
size-words                q render --size axb --out o.npy
width-word                q render --size 64x48 --width abc --out o.npy
width-nan                 q render --size 64x48 --width nan --out o.npy
width-missing             q render --size 64x48 --out o.npy --width
width-twice               q render --size 64x48 --width 5 --width 6 --out o.npy
width-range               q render --size 64x48 --width 20000 --out o.npy
opacity-range             q render --size 64x48 --opacity 150 --out o.npy
feather-negative          q render --size 64x48 --feather=-5 --out o.npy
angle-inf                 q render --size 64x48 --angle inf --out o.npy
angle-negative            q render --size 64x48 --angle -17.5 --origin -5,-3 --out o.npy
origin-one                q render --size 64x48 --origin 5 --out o.npy
origin-words              q render --size 64x48 --origin a,b --out o.npy
mask-type-bad             q render --size 64x48 --mask-type hexagon --out o.npy
composite-bad             q render --size 64x48 --composite blend --out o.npy
falloff-bad               q render --size 64x48 --falloff smooth --out o.npy
invert-value              q render --size 64x48 --invert=maybe --out o.npy
downsample-zero           q render --size 64x48 --downsample 1/0,1/1 --out o.npy
downsample-one            q render --size 64x48 --downsample 1/2 --out o.npy
par-zero                  q render --size 64x48 --par 0/1 --out o.npy
par-word                  q render --size 64x48 --par abc --out o.npy
par-far                   q render --size 64x48 --par 1000/1 --out o.npy
threads-zero              q render --size 64x48 --threads 0 --out o.npy
threads-word              q render --size 64x48 --threads x --out o.npy
row-padding-large         q render --size 64x48 --row-padding 5000 --out o.npy
row-padding-split         q render --size 64x48 --depth 16 --row-padding 3 --out o.npy
row-padding-split-32f     q render --size 64x48 --host premiere --depth 32f --row-padding 6 --out o.npy
row-padding-split-image   q render --in card16.tif --row-padding 2 --out o.tif
part-missing              q render --in card.png --part 3 --out o.png
part-name-missing         q render --in card.exr --part left --out o.exr
layer-missing             q render --in card.exr --layer nope --out o.exr
alpha-bad                 q render --in card.png --alpha maybe --out o.png
layer-without-in          q render --size 64x48 --layer diffuse --out o.exr
epoch-bad                 SOURCE_DATE_EPOCH=1.5 q render --size 64x48 --out o.png
epoch-npy                 SOURCE_DATE_EPOCH=1.5 q render --size 64x48 --out o.npy
frame-memory              ulimit -v 2000000 && q render --size 16384x16384 --host premiere --depth 32f --out o.npy
module-missing            q render --size 64x48 --out o.npy --module nope.aex
module-not-a-module       q render --size 64x48 --out o.npy --module card.png
# Multi-layer, multi-part and non-square plates.
layers-choose             [oiiotool] q render --in layers.exr --out o.exr
layers-one                [oiiotool] q render --in layers.exr --layer gloss --out o.exr
layers-to-png             [oiiotool] q render --in layers.exr --layer diffuse --out o.png
layers-missing            [oiiotool] q render --in layers.exr --layer nope --out o.exr
parts-choose              [oiiotool] q render --in stereo.exr --out o.exr
parts-by-name             [oiiotool] q render --in stereo.exr --part rgba_right --out o.exr
parts-by-index            [oiiotool] q render --in stereo.exr --part 0 --out o.exr
parts-missing             [oiiotool] q render --in stereo.exr --part 2 --out o.exr
par-header                [oiiotool] q render --in par2.exr --out o.exr
par-over-header           [oiiotool] q render --in par2.exr --par 1/1 --out o.exr
par-agrees                [oiiotool] q render --in par2.exr --par 2/1 --out o.exr
# The on-screen controls.
overlay                   q overlay --in card.png --out w.png --width 30 --height 20
overlay-card              q overlay --out w.png --width 900 --height 500 --feather 120 --angle 20
overlay-view              q overlay --in card.png --out w.png --window layer --zoom 2 --pan 10,5 --layer-position 3,4 --layer-scale 0.5
overlay-premiere          q overlay --in card.png --out w.png --host premiere --depth 32f --mask-type rectangle
overlay-exr               q overlay --in card.exr --out w.png --feather 5
overlay-no-out            q overlay --in card.png
overlay-jpg               q overlay --in card.png --out w.jpg
overlay-window-bad        q overlay --in card.png --out w.png --window viewer
overlay-zoom-zero         q overlay --in card.png --out w.png --zoom 0
overlay-pan-one           q overlay --in card.png --out w.png --pan 5
overlay-size              q overlay --size 64x48 --out w.png
overlay-frame             q overlay --frames 3 --in seq.%04d.npy --key width@1=10 --key width@8=40 --out w.png
overlay-frame-text        q overlay --frames 2 --in card.png --keys width.txt --keys-start 1 --out w.png
overlay-frames-many       q overlay --frames 1-3 --in card.png --out w.png
overlay-numbered-alone    q overlay --in seq.%04d.npy --out w.png
overlay-key-alone         q overlay --in card.png --key width@1=3 --out w.png
overlay-frame-missing     q overlay --frames 9 --in seq.%04d.npy --out w.png
drag                      q drag --in card.png --width 30 --height 20 --click 47,34 --to 52,40
drag-path                 q drag --in card.png --width 30 --height 20 --click 17,14 --to 12,10 --to 8,6 --to 4,2
drag-rotation             q drag --size 200x100 --width 60 --height 40 --angle 30 --click 110,33 --to 130,20
drag-feather              q drag --size 200x100 --width 60 --height 40 --click 70,50 --to 80,50
drag-opacity              q drag --size 200x100 --width 60 --height 40 --click 60,0 --to 40,0
drag-miss                 q drag --in card.png --width 30 --height 20 --click 5,5 --to 52,40
drag-json                 q drag --in card.png --width 30 --height 20 --click 47,34 --to 52,40 --json
drag-out                  q drag --in card.png --width 30 --height 20 --click 47,34 --to 52,40 --out w.png
drag-clamped              q drag --in card.png --width 30 --height 20 --click 47,34 --to 40000,40000
drag-view                 q drag --in card.png --width 30 --height 20 --zoom 2 --click 94,68 --to 104,80
drag-premiere             q drag --size 200x100 --host premiere --click 250,150 --to 260,160
drag-no-click             q drag --to 2,2
drag-no-to                q drag --click 47,34
drag-click-bad            q drag --click 5 --to 2,2
drag-size-and-in          q drag --in card.png --size 64x48 --click 1,1 --to 2,2
drag-size-and-frames      q drag --size 64x48 --frames 2 --click 1,1 --to 2,2
drag-frame                q drag --frames 4 --in seq.%04d.npy --keys keys.json --click 51,126 --to 56,130
drag-frame-json           q drag --frames 4 --in seq.%04d.npy --keys keys.json --click 51,126 --to 56,130 --json
drag-frame-baked          q drag --frames 1024 --keys baked.txt --keys-start 1001 --click 1330,640 --to 1350,660
handles                   q handles --in card.png --width 30 --height 20
handles-json              q handles --in card.png --width 30 --height 20 --json
handles-turned            q handles --size 200x100 --width 60 --height 40 --angle 30
handles-view              q handles --in card.png --zoom 2 --pan 4,4 --window layer
handles-frame             q handles --frames 2 --in seq.%04d.npy --keys keys.json --json
handles-size-and-in       q handles --in card.png --size 64x48
# Keys as keyframe text, to paste.
keys                      q keys --key width@0=300 --key width@4=900:ease --key opacity@0=100:hold --key opacity@3=0
keys-out                  q keys --key width@0=300 --key origin@2=30.5,40 --key origin@0=10,20 --key angle@1=45 --out k.txt
keys-fps                  q keys --fps 25 --size 1280x720 --par 2/1 --key width@0=300 --key width@6=100
keys-ntsc                 q keys --fps 29.97 --key feather@0=1
keys-json                 q keys --keys keys.json
keys-text                 q keys --keys width.txt
keys-copy                 q keys --keys copy.txt --out normal.txt
keys-crlf                 q keys --keys crlf.txt
keys-cr                   q keys --keys cr.txt
keys-data-clock           q keys --keys track2398.txt --track origin
keys-data-clock-24        q keys --keys track2398.txt --track origin --fps 24
keys-start                q keys --keys width.txt --keys-start 100
keys-start-fps            q keys --keys rate30.txt --keys-start 10 --fps 24
keys-none                 q keys --fps 24
keys-transform            q keys --keys width.txt --track transform
keys-far                  q keys --key width@1e17=300:ease --key width@100000000000000064=310 --out k.txt
keys-unknown              q keys --key size@1=3 --out k.txt
keys-size-bad             q keys --size 0x0 --key width@0=1
keys-pipe                 q keys --keys <(printf '{"width": [{"frame": 0, "value": 300}]}')
keys-out-no-folder        q keys --key width@0=1 --out nodir/k.txt
keys-text-and-key         q keys --keys width.txt --key height@2=30
keys-baked-row            q keys --keys baked.txt --key width@1010=5 --keys-start 1001
# Shots: outputs and their names.
shot                      q render --in card.png --frames 1-4 --jobs 1 --key width@1=10 --key width@4=40:ease --out m.%04d.png
shot-hashes               q render --in card.png --frames 1-3 --jobs 1 --out m.####.png
shot-unpadded             q render --in card.npy --frames 8-11 --jobs 1 --out m.%d.npy
shot-percent              q render --in card.npy --frames 1-2 --jobs 1 --out m%%.%03d.npy
shot-long-number          q render --in card.npy --frames 12345 --jobs 1 --out m.####.npy
shot-quiet                q render --in card.png --frames 1-4 --jobs 1 --quiet --out m.%04d.tif
shot-exr                  q render --in plate.%04d.exr --frames 1001-1004 --jobs 1 --feather 5 --out m.%04d.exr
shot-png-seq              q render --in plate.%04d.png --frames 1001-1006 --jobs 1 --out m.%04d.png
shot-dpx                  q render --in plate.%04d.png --frames 1001-1003 --jobs 1 --out m.%04d.dpx
shot-jpg                  q render --in plate.%04d.png --frames 1001 --out m.%04d.jpg
shot-npy                  q render --in seq.%04d.npy --frames 1-8 --jobs 1 --key origin@1=5,5 --key origin@8=35,25:ease --key height@1=30 --key height@8=8 --out m.%04d.npy
shot-premiere             q render --in card.png --frames 1-3 --jobs 1 --host premiere --depth 32f --out m.%04d.npy
shot-ae16                 q render --frames 1-2 --jobs 1 --depth 16 --out m.%04d.npy
shot-card                 q render --frames 1-2 --jobs 1 --out m.%04d.png
shot-still-exr            q render --in card.exr --frames 1-3 --jobs 1 --key feather@1=0 --key feather@3=9 --out m.%04d.exr
shot-jobs                 q render --in seq.%04d.npy --frames 1-8 --jobs 3 --quiet --out m.%04d.npy
shot-jobs-threads         q render --in seq.%04d.npy --frames 1-8 --jobs 2 --threads 1 --quiet --out m.%04d.npy
shot-jobs-default         q render --in seq.%04d.npy --frames 1-8 --quiet --out m.%04d.npy
shot-jobs-more            q render --in card.npy --frames 1-2 --jobs 16 --quiet --out m.%04d.npy
shot-one-frame            q render --in card.png --frames 7 --out m.png
shot-dry-run              q render --frames 1001-1004 --key width@1001=300 --key width@1004=600:ease --key angle@1002=30:hold --key angle@1004=0 --dry-run
shot-dry-run-out          q render --frames 1-2 --dry-run --out m.%04d.png
shot-dry-run-in           q render --frames 1-2 --dry-run --in seq.%04d.npy
shot-negative             q render --frames -3--1 --dry-run --key width@-3=10 --key width@-1=30
shot-step                 q render --frames 1-20x5 --dry-run
shot-step-colon           q render --frames 1-20:5 --dry-run
shot-list                 q render --frames 1-3,10-12 --dry-run
shot-unordered            q render --frames 5,1-3 --dry-run
shot-between-frames       q render --frames 1-3 --dry-run --key width@1.5=10 --key width@2.5=30
# Shots: the frame list and the chunks.
frames-backwards          q render --frames 5-1 --out m.%04d.npy
frames-empty              q render --frames '' --out m.%04d.npy
frames-word               q render --frames a --out m.%04d.npy
frames-step-zero          q render --frames 1-10x0 --out m.%04d.npy
frames-too-many           q render --frames 1-20000000 --dry-run
frames-comma              q render --frames 1,,2 --out m.%04d.npy
frames-overflow           q render --frames 2147483648 --out m.%04d.npy
frames-twice              q render --frames 1 --frames 2 --out m.%04d.npy
chunk                     q render --in seq.%04d.npy --frames 1-8 --chunk 3:1 --jobs 1 --out m.%04d.npy
chunk-last                q render --in seq.%04d.npy --frames 1-8 --chunk 3:2 --jobs 1 --out m.%04d.npy
chunk-dry-run             q render --frames 101-107 --chunk 3:1 --dry-run --keys width.txt
chunk-past                q render --frames 101-107 --chunk 3:3 --out m.%04d.npy
chunk-zero                q render --frames 1-9 --chunk 0:1 --out m.%04d.npy
chunk-no-index            q render --frames 1-9 --chunk 8 --out m.%04d.npy
chunk-negative            q render --frames 1-9 --chunk 4:-1 --out m.%04d.npy
chunk-words               q render --frames 1-9 --chunk a:b --out m.%04d.npy
chunk-without-frames      q render --out m.%04d.npy --chunk 8:0
chunk-and-sheet           q render --frames 1-9 --chunk 3:0 --out m.%04d.npy --contact-sheet s.png
# Shots: --skip-existing, contact sheets.
skip-existing             q render --in seq.%04d.npy --frames 1-5 --jobs 1 --key angle@1=0 --key angle@8=90 --out prev.%04d.npy --skip-existing
skip-all-done             q render --in seq.%04d.npy --frames 1-5 --jobs 1 --key angle@1=0 --key angle@8=90 --out done.%04d.npy --skip-existing
skip-quiet                q render --in seq.%04d.npy --frames 1-5 --jobs 2 --quiet --out prev.%04d.npy --skip-existing
skip-with-sheet           q render --in seq.%04d.npy --frames 1-5 --jobs 1 --key angle@1=0 --key angle@8=90 --out prev.%04d.npy --skip-existing --contact-sheet s.png --contact-width 32
skip-png                  q render --in card.png --frames 1001-1006 --jobs 1 --key width@1001=10 --key width@1006=60 --out gap.%04d.png --skip-existing
sheet                     q render --in card.png --frames 1-5 --jobs 1 --key width@1=8 --key width@5=40 --height 20 --out m.%d.npy --contact-sheet s.png --contact-every 2 --contact-columns 2 --contact-width 48
sheet-defaults            q render --in card.png --frames 1-30 --jobs 2 --quiet --out m.%04d.npy --contact-sheet s.png
sheet-exr                 q render --in plate.%04d.exr --frames 1001-1004 --jobs 1 --out m.%04d.exr --contact-sheet s.png --contact-width 16
sheet-too-big             q render --in card.png --frames 1-8 --out m.%04d.npy --contact-sheet s.png --contact-every 1 --contact-columns 6 --contact-width 4096
sheet-alone               q render --in card.png --frames 1-2 --out m.%d.npy --contact-every 2
sheet-width-small         q render --in card.png --frames 1-2 --out m.%d.npy --contact-sheet s.png --contact-width 8
sheet-columns-zero        q render --in card.png --frames 1-2 --out m.%d.npy --contact-sheet s.png --contact-columns 0
sheet-every-zero          q render --in card.png --frames 1-2 --out m.%d.npy --contact-sheet s.png --contact-every 0
sheet-no-folder           q render --in card.png --frames 1 --out m.%d.npy --contact-sheet nodir/s.png
sheet-not-png             q render --in card.png --frames 1-2 --out m.%d.npy --contact-sheet s.npy
sheet-dry-run             q render --frames 1-2 --dry-run --contact-sheet s.png
# Shots: input frames and the outputs' names.
in-gap                    q render --in gap.%04d.png --frames 1001-1006 --out m.%04d.png
in-unlike                 q render --in unlike.%04d.png --frames 1001-1004 --out m.%04d.png
in-many-missing           q render --in seq.%04d.npy --frames 1,3-20 --out m.%d.npy
in-none                   q render --in nothing.%04d.npy --frames 1-2 --out m.%d.npy
in-padded-otherwise       q render --in seq.#.npy --frames 1-2 --out m.%d.npy
in-unpadded-otherwise     q render --in seq.%d.npy --frames 1-2 --out m.%d.npy
in-cut-frame              q render --in cutseq.%04d.npy --frames 1-3 --jobs 1 --out m.%04d.npy
in-npy-depth              q render --in seq.%04d.npy --frames 1-2 --depth 16 --out m.%d.npy
out-is-input              q render --in seq.%04d.npy --frames 1 --out seq.####.npy
out-no-field              q render --in card.png --frames 1-3 --out m.png
out-two-fields            q render --frames 1 --out m.%d.%d.npy
out-numbered-alone        q render --size 64x48 --out m.%04d.png
out-field-bad             q render --frames 1-2 --out m.%q.npy
shot-needs-out            q render --frames 1-3
shot-no-folder            q render --in card.png --frames 1-2 --out nodir/m.%d.png
shot-unknown-format       q render --in card.png --frames 1-2 --out m.%d.xyz
shot-compression          q render --in plate.%04d.exr --frames 1001-1002 --jobs 1 --compression zips --out m.%04d.exr
shot-compression-bad      q render --in card.png --frames 1-2 --compression lzw --out m.%d.png
shot-out-format-bad       q render --in card.png --frames 1-2 --out-format half --out m.%d.png
shot-size                 q render --size 64x48 --frames 1-2 --out m.%d.npy
shot-row-padding          q render --row-padding 8 --frames 1-2 --out m.%d.npy
shot-jobs-zero            q render --in card.npy --frames 1-2 --jobs 0 --out m.%d.npy
shot-jobs-word            q render --in card.npy --frames 1-2 --jobs many --out m.%d.npy
shot-jobs-memory          ulimit -v 4000000 && q render --host premiere --depth 32f --frames 1-256 --jobs 256 --out m.%d.npy
shot-epoch-bad            SOURCE_DATE_EPOCH=now q render --in card.png --frames 1 --out m.%d.png
# Shots: the clock.
fps-25                    q render --frames 1-3 --fps 25 --dry-run --key width@1=10 --key width@3=30 --key opacity@2=50:hold --key opacity@3=0
fps-ntsc                  q render --frames 10-12 --fps 23.976 --dry-run --keys keys.json
fps-ratio                 q render --frames 1-2 --fps 30000/1001 --dry-run
fps-zero                  q render --frames 1-2 --fps 0 --dry-run
fps-fast                  q render --frames 1-2 --fps 1001 --dry-run
fps-word                  q render --frames 1-2 --fps fast --dry-run
fps-ratio-zero            q render --frames 1-2 --fps 24/0 --dry-run
fps-far-frame             q render --frames 2147483647 --fps 0.001 --dry-run
# Shots: keys given one by one.
key-no-frames             q render --out o.png --key width@1=3
key-form                  q render --frames 1-2 --dry-run --key width=3
key-name                  q render --frames 1-2 --dry-run --key size@1=3
key-interpolation         q render --frames 1-2 --dry-run --key width@1=3:bounce
key-frame-word            q render --frames 1-2 --dry-run --key width@x=3
key-value-word            q render --frames 1-2 --dry-run --key width@1=wide
key-pair-for-width        q render --frames 1-2 --dry-run --key width@1=3,4
key-one-for-origin        q render --frames 1-2 --dry-run --key origin@1=3
key-range                 q render --frames 1-2 --dry-run --key feather@1=-5
key-twice                 q render --frames 1-2 --dry-run --key width@1=3 --key width@1=4
key-invert                q render --frames 1-2 --dry-run --key invert@1=1
key-falloff               q render --frames 1-2 --dry-run --key falloff@1=2 --key falloff@2=3
key-and-option            q render --frames 1-2 --dry-run --width 5 --key width@1=3
key-origin-option         q render --frames 1-2 --dry-run --origin 5,5 --key origin@1=3,3
key-far-frame             q render --frames 1-2 --dry-run --key width@3e9=3
key-opacity-ease          q render --in card.png --frames 1-4 --jobs 1 --key opacity@1=0:ease --key opacity@4=100:ease --out m.%d.npy
# Shots: key files.
json                      q render --in seq.%04d.npy --frames 1-8 --jobs 1 --keys keys.json --out m.%04d.npy
json-dry-run              q render --frames 1-8 --dry-run --keys keys.json
json-and-key              q render --frames 1-8 --dry-run --keys keys.json --key height@3=50
json-key-on-its-control   q render --frames 1-8 --dry-run --keys keys.json --key width@2=50
json-and-option           q render --frames 1-8 --dry-run --keys keys.json --width 5
json-clamped              q render --frames 1-2 --dry-run --keys clamp.json
json-missing              q render --frames 1-2 --dry-run --keys nope.json
json-folder               q render --frames 1-2 --dry-run --keys .
json-huge                 q render --frames 1-2 --dry-run --keys huge.json
text-huge                 q render --frames 1-2 --dry-run --keys huge.txt
json-broken               q render --frames 1-2 --dry-run --keys broken.json
json-blank                q render --frames 1-2 --dry-run --keys blank.json
json-neither              q render --frames 1-2 --dry-run --keys neither.txt
json-array                q render --frames 1-2 --dry-run --keys array.json
json-bad-name             q render --frames 1-2 --dry-run --keys badname.json
json-not-a-list           q render --frames 1-2 --dry-run --keys notlist.json
json-no-value             q render --frames 1-2 --dry-run --keys novalue.json
json-no-frame             q render --frames 1-2 --dry-run --keys noframe.json
json-extra-field          q render --frames 1-2 --dry-run --keys extra.json
json-bad-interpolation    q render --frames 1-2 --dry-run --keys badinterp.json
json-pair-for-width       q render --frames 1-2 --dry-run --keys pair.json
json-one-for-origin       q render --frames 1-2 --dry-run --keys single.json
json-text-value           q render --frames 1-2 --dry-run --keys text.json
json-twice                q render --frames 1-2 --dry-run --keys twice.json
json-invert               q render --frames 1-2 --dry-run --keys invert.json
json-keys-start           q render --frames 1-2 --dry-run --keys keys.json --keys-start 5
json-strict-timing        q render --frames 1-2 --dry-run --keys keys.json --strict-timing
json-track                q render --frames 1-2 --dry-run --keys keys.json --track origin
keys-no-frames            q render --out o.png --keys keys.json
keys-start-no-keys        q render --frames 1-2 --dry-run --keys-start 5
track-no-keys             q render --frames 1-2 --dry-run --track origin
# Shots: keyframe text, where it lands and at what rate.
text                      q render --in seq.%04d.npy --frames 1-8 --jobs 1 --keys width.txt --out m.%04d.npy
text-lands-on-list        q render --frames 1002-1003 --dry-run --keys width.txt
text-lands-on-disk        q render --in plate.%04d.png --frames 1003-1004 --dry-run --keys width.txt
text-keys-start           q render --in plate.%04d.png --frames 1003-1004 --dry-run --keys width.txt --keys-start 1003
text-keys-start-word      q render --frames 1-2 --dry-run --keys width.txt --keys-start soon
text-chunk-lands          q render --frames 1001-1010 --chunk 4:1 --dry-run --keys width.txt
text-rate                 q render --frames 1-6 --dry-run --keys rate30.txt
text-strict-timing        q render --frames 1-6 --dry-run --keys rate30.txt --strict-timing
text-strict-same-rate     q render --frames 1-6 --dry-run --keys width.txt --strict-timing
text-fps                  q render --frames 1-6 --fps 30 --dry-run --keys rate30.txt --strict-timing
text-crlf                 q render --frames 1-4 --dry-run --keys crlf.txt
text-cr                   q render --frames 1-4 --dry-run --keys cr.txt
text-copy                 q render --frames 100-104 --dry-run --keys copy.txt
text-par                  q render --in card.npy --frames 1 --out m.%d.npy --keys par2.txt
text-par-option           q render --in card.npy --frames 1 --out m.%d.npy --keys par2.txt --par 1/1
text-par-png              q render --in card.png --frames 1 --out m.%d.npy --keys par2.txt
text-par-bad              q render --frames 1-2 --out m.%d.npy --keys par0.txt
text-par-bad-given        q render --in card.npy --frames 1-2 --quiet --out m.%d.npy --keys par0.txt --par 1/1
text-baked-row            q render --frames 1023-1025 --dry-run --keys baked.txt --keys-start 1001 --key width@1024=412
text-two-keys-on-row      q render --frames 1-2 --dry-run --keys width.txt --key opacity@1=5 --key opacity@1=6
text-and-option           q render --frames 1-2 --dry-run --keys width.txt --opacity 5
text-clamped              q render --frames 1-2 --dry-run --keys clamp.txt
text-constant             q render --frames 1-2 --dry-run --keys constant.txt
text-expression           q render --frames 1-2 --dry-run --keys expression.txt
text-others-only          q render --frames 1-2 --dry-run --keys others.txt
text-no-rows              q render --frames 1-2 --out m.%d.npy --keys no-rows.txt
text-no-end               q keys --keys no-end.txt --out k.txt
text-after-end            q render --frames 1-2 --dry-run --keys after-end.txt
text-stray-row            q render --frames 1-2 --dry-run --keys stray-row.txt
text-unit                 q keys --keys unit.txt --out k.txt
text-second-block         q render --frames 1-2 --dry-run --keys second.txt
text-two-instances        q render --frames 1-2 --dry-run --keys instances.txt
text-unknown-control      q render --frames 1-2 --dry-run --keys unknown-control.txt
text-fixed-control        q render --frames 1-2 --dry-run --keys fixed.txt
# Shots: point tracks.
track                     q render --frames 1-6 --dry-run --keys track.txt --track origin
track-without-asking      q render --frames 1-6 --dry-run --keys track.txt
track-offset              q render --frames 1-6 --dry-run --keys track.txt --track origin --track-offset -4,2.5
track-offset-bad          q render --frames 1-6 --dry-run --keys track.txt --track-offset 4
track-render              q render --in seq.%04d.npy --frames 1-6 --jobs 1 --keys track.txt --track origin --width 12 --height 8 --out m.%04d.npy
track-source-size         q render --frames 1-6 --dry-run --keys track-size.txt
track-short               q render --frames 1-6 --dry-run --keys track-short.txt
track-rate                q render --frames 1-6 --dry-run --keys track2398.txt
track-two                 q render --frames 1-2 --dry-run --keys tracks.txt --track origin
track-block               q render --frames 1-2 --dry-run --keys tracks.txt --track origin --track-block 'Effects / Point Control #2 / Point #1'
track-block-missing       q render --frames 1-2 --dry-run --keys tracks.txt --track origin --track-block 'Effects / Nothing'
track-block-no-points     q render --frames 1-2 --dry-run --keys width.txt --track origin --track-block 'Effects / Nothing'
track-no-points           q render --frames 1-2 --dry-run --keys width.txt --track origin
track-attach              q render --frames 1-2 --dry-run --keys tracker.txt --track origin
track-target              q render --frames 1-2 --dry-run --keys track.txt --track width
track-own-origin          q render --frames 1-2 --dry-run --keys own.txt --track origin
track-offset-unused       q render --frames 1-2 --dry-run --keys width.txt --track-offset 1,1
track-block-unused        q render --frames 1-2 --dry-run --keys width.txt --track-block 'Effects / Track Point #1 / Feature Center #1'
track-layers              q render --frames 1-4 --dry-run --keys layers.txt
track-layer-1             q render --frames 1-4 --dry-run --keys layers.txt --track-layer 1
track-layer-2             q render --frames 1-4 --dry-run --keys layers.txt --track-layer 2 --track origin
track-layer-beyond        q render --frames 1-4 --dry-run --keys layers.txt --track-layer 3
track-layer-none          q render --frames 1-4 --dry-run --keys width.txt --track-layer 1
track-layer-word          q render --frames 1-4 --dry-run --keys layers.txt --track-layer first
track-reference-alone     q render --frames 1-4 --dry-run --keys track.txt --track origin --track-reference 2
# Shots: tracked transforms.
transform                 q render --frames 1-5 --dry-run --keys surface.txt --track transform --origin 30,20 --width 20 --height 10 --feather 4
transform-layer           q render --frames 1-5 --dry-run --keys layer-transform.txt --track transform --origin 30,20 --width 20 --height 10
transform-reference       q render --frames 1-5 --dry-run --keys surface.txt --track transform --track-reference 3
transform-keys            q render --frames 1-5 --dry-run --keys surface.txt --track transform --key width@1=10 --key width@5=30
transform-render          q render --in seq.%04d.npy --frames 1-5 --jobs 1 --keys surface.txt --track transform --origin 30,20 --width 20 --height 10 --out m.%04d.npy --contact-sheet s.png --contact-width 32
transform-block           q render --frames 1-5 --dry-run --keys surface.txt --track transform --track-block 'Position'
transform-offset          q render --frames 1-5 --dry-run --keys surface.txt --track transform --track-offset 1,1
transform-none            q render --frames 1-5 --dry-run --keys width.txt --track transform
transform-second          q render --frames 1-5 --dry-run --keys two-positions.txt --track transform
transform-scale-zero      q render --frames 1-5 --dry-run --keys scale0.txt --track transform
transform-scale-zero-ref  q render --frames 1-5 --dry-run --keys scale0.txt --track transform --track-reference 5
transform-bad-rotation    q render --frames 1-5 --dry-run --keys bad-rotation.txt --track transform
transform-overlay         q overlay --frames 3 --in card.png --keys surface.txt --keys-start 1 --track transform --width 20 --height 10 --out w.png
transform-handles         q handles --frames 3 --in card.png --keys surface.txt --keys-start 1 --track transform --width 20 --height 10
track-drag                q drag --frames 2 --in card.png --keys track.txt --keys-start 1 --track origin --width 30 --height 20 --click 37,26 --to 40,30
ROWS

# ---------------------------------------------------------------------------
# Running and comparing.

# Runs every row with one tool; each row's folder and its output, error and
# status are left in $work/SIDE.
run_side() {
  local side=$1 tool=$2 i name command
  # shellcheck disable=SC2034  # the rows' $module
  module=$(dirname "$tool")/VT_Quorvel.aex
  # shellcheck disable=SC2317  # called by the rows
  q() { "$tool" "$@"; }
  mkdir -p "$work/$side"
  for i in "${!names[@]}"; do
    name=${names[i]}
    command=${commands[i]}
    if [[ $command == '[oiiotool] '* ]]; then
      $have_oiiotool || continue
      command=${command#'[oiiotool] '}
    fi
    mkdir "$work/run"
    cp -al "$work/in/." "$work/run/"
    local status=0
    (cd "$work/run" && eval "$command") </dev/null >"$work/$side/$name.out" 2>"$work/$side/$name.err" || status=$?
    echo "$status" >"$work/$side/$name.status"
    mv "$work/run" "$work/$side/$name"
  done
}

# What must differ between the two builds, rewritten (see the header).
normalise() {
  local tool=$1 text progress='^frame -?[0-9]+ .*  [0-9]+/[0-9]+ frames  '
  text=$(sed -E \
    -e "s|$(dirname "$tool")/VT_Quorvel\.aex \([0-9]+ bytes\)|TOOLDIR/VT_Quorvel.aex (N bytes)|" \
    -e "s|$tool|TOOL|g; s|$(dirname "$tool")|TOOLDIR|g" \
    -e 's/ in ([0-9]+:)?[0-9]+:[0-9]{2} \([0-9]+(\.[0-9]+)? frames\/s, / in T (N frames\/s, /' \
    -e 's/this machine can give [0-9]+(\.[0-9]+)? [KMGT]?B/this machine can give M/' \
    -e 's/\.tmp-[0-9]+-/.tmp-PID-/g')
  grep -Ev "$progress" <<<"$text" || true
  grep -E "$progress" <<<"$text" | sed -E 's/  [0-9]+\/([0-9]+) frames  .*$/  (of \1)/' | sort || true
}

# An old tool that cannot make the inputs is bad input, as a missing one is.
trap 'echo "$0: the inputs could not be made with $old" >&2; exit 2' ERR
make_inputs
trap - ERR
run_side old "$old"
run_side new "$new"

count=0
same=0
left_out=0
status=0
for i in "${!names[@]}"; do
  name=${names[i]}
  if [[ ! -e $work/old/$name.status ]]; then
    left_out=$((left_out + 1))
    continue
  fi
  count=$((count + 1))
  report=""
  for stream in out err status; do
    cmp -s "$work/old/$name.$stream" "$work/new/$name.$stream" && continue
    a=$(normalise "$old" <"$work/old/$name.$stream")
    b=$(normalise "$new" <"$work/new/$name.$stream")
    if [[ $a != "$b" ]]; then
      what=std$stream
      [[ $stream == status ]] && what="exit status"
      report+=$(diff -u --label "old $name: $what" --label "new $name: $what" \
        <(printf '%s\n' "$a") <(printf '%s\n' "$b") || true)$'\n'
    fi
  done
  # The files the row left: the same names, the same bytes (inputs it left
  # alone are the same files on both sides, which diff sees at once).
  if ! diff -rq --no-dereference "$work/old/$name" "$work/new/$name" >"$work/files" 2>&1; then
    while IFS= read -r line; do
      if [[ $line =~ ^Files\ (.*)\ and\ (.*)\ differ$ ]]; then
        a=${BASH_REMATCH[1]}
        b=${BASH_REMATCH[2]}
        rel=${a#"$work/old/$name/"}
        if grep -Iq . "$a" && grep -Iq . "$b"; then
          report+=$(diff -u --label "old $name: $rel" --label "new $name: $rel" "$a" "$b" | head -60 || true)$'\n'
        else
          report+=$(diff -u --label "old $name: $rel (bytes)" --label "new $name: $rel (bytes)" \
            <(od -An -tx1 -v "$a") <(od -An -tx1 -v "$b") | head -30 || true)$'\n'
        fi
      else
        report+="$name: ${line//"$work/"/}"$'\n'
      fi
    done <"$work/files"
  fi
  if [[ -z $report ]]; then
    same=$((same + 1))
  else
    status=1
    differences+="== $name: ${commands[i]}"$'\n'"$report"
  fi
done

summary="$count invocations, $same identical"
if ((left_out > 0)); then summary+=" ($left_out left out: no oiiotool to make their inputs)"; fi
echo "$summary"
printf '%s' "${differences:-}"
exit "$status"
