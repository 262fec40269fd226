#!/usr/bin/env bash
# Renders a fixed table of frames and replays a fixed table of drags with one
# build of the host tool and its module, so that two builds (Linux and
# Windows under Wine) can be compared byte for byte by compare-sweeps.sh.
#
# usage: scripts/render-sweep.sh OUTDIR TOOL [TOOL-ARGS-PREFIX...]
#   scripts/render-sweep.sh /tmp/sweep-linux build/quorvel-host
#   scripts/render-sweep.sh /tmp/sweep-windows scripts/wine-run.sh build-win/quorvel-host.exe
#
# TOOL and its prefix arguments are the command that runs quorvel-host; the
# tool loads the module beside itself. OUTDIR must not exist or be empty. It
# receives frames/NAME.npy (each frame's exact pixels), drags/NAME.json (each
# drag's --json line, ending in LF whatever the system) and cases.txt (every
# case's arguments, with other frames named @NAME). The folder appears only once every case has run: a
# failed case leaves nothing behind and is named, with the tool's message.
# A drag that grabs another handle than its case means is reported, after
# the folder is in place, with exit status 1.
#
# The cases are a covering design over what can differ between builds, not
# the full product. Frames come from the test card at small --size values
# (a case's time is the tool's start-up, not its rendering), or from an
# earlier case's .npy output as --in; all four pixel layouts everywhere:
#   shape       2 mask types x 6 falloffs x 4 layouts, feather 9 on a 36x22
#               box, the angle varying with the falloff               48
#   composite   4 modes x invert or not x 4 layouts, over a feathered
#               ellipse's matte read back from .npy                   32
#   size        1x1, 2x3, 3x2, 1x17, 17x1, 37x23, 301x167 x 4 layouts 28
#   padding     row padding 1 to 64 bytes (whole channels) x layouts,
#               from the card and from .npy                           15
#   downsample  1/2,1/2  1/3,1/3  1/2,1/3  1/4,1/1 x 4 layouts         16
#   aspect      pixel aspect 10/11, 2/1, 40/33, 1/2 x 4 layouts       16
#   both        downsample and pixel aspect together x 4 layouts       8
#   angle       -17.5 to 1000 degrees, both mask types x 4 layouts    28
#   opacity     0, 12.5, 50, 99.9, 100 percent x 4 layouts           20
#   feather     0, half the box, wider than the box, 1000 x 4 layouts 16
#   threads     1 and 3 worker threads on 301x167                      4
#   choice      popup values the popups never offer                    8
#   origin      origins on the corner, outside, past the far side     12
# Drags on a 640x360 layer with a 200x120 box, feather 30, opacity 70:
#   handles     10 handles x 6 views (composition and layer windows,
#               zoom, pan, layer position and scale) x 2 hosts       120
#   turned      6 handles at angle 30 x 2 views x 2 hosts              24
#   aspect      3 handles at pixel aspect 10/11 x 2 hosts               6
#   miss        a click on no handle x 2 hosts                          2
# Frames: 251; drags: 152.
set -euo pipefail

if [[ $# -lt 2 ]]; then
  echo "usage: $0 OUTDIR TOOL [TOOL-ARGS-PREFIX...]" >&2
  exit 2
fi
outdir=${1%/}
shift
tool=("$@")
if [[ -e $outdir && ! -d $outdir ]] || { [[ -d $outdir ]] && [[ -n $(ls -A "$outdir") ]]; }; then
  echo "$0: $outdir exists and is not an empty folder" >&2
  exit 2
fi
mkdir -p "$(dirname "$outdir")"
work=$(mktemp -d "$outdir.partial.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/frames" "$work/drags" "$work/log"
started=$SECONDS
frames=0
drags=0

# Cases run as separate processes, as many at once as there are cores:
# start-up, not rendering, is most of a case's time. Each case leaves its
# failure or its missed handle in log/; barrier waits for the running ones.
parallel=$(nproc)
start_case() {
  while [[ $(jobs -rp | wc -l) -ge $parallel ]]; do wait -n || true; done
  "$@" &
}
barrier() {
  wait
  if compgen -G "$work/log/*.failed" >/dev/null; then
    cat "$work"/log/*.failed >&2
    exit 1
  fi
}

# run_case NAME KIND ARGS...: the tool's KIND command; its stdout to
# log/NAME.out. A failure is written to log/NAME.failed.
run_case() {
  local name=$1 status=0
  shift
  "${tool[@]}" "$@" >"$work/log/$name.out" 2>"$work/log/$name.err" || status=$?
  # The tool explains every failure on stderr; a silent one is the program
  # loader's (Wine now and then fails to start a program on a loaded
  # machine), so such a case runs once more.
  if [[ $status -ne 0 && ! -s $work/log/$name.err ]]; then
    status=0
    "${tool[@]}" "$@" >"$work/log/$name.out" 2>"$work/log/$name.err" || status=$?
  fi
  if [[ $status -ne 0 ]]; then
    { echo "$0: case $name failed (exit status $status): ${tool[*]} $*"; sed 's/^/  /' "$work/log/$name.err"; } \
      >"$work/log/$name.failed"
  fi
  return "$status"
}

# frame NAME ARGS...: render ARGS into frames/NAME.npy; @OTHER in ARGS is
# the frame of an earlier case (before a barrier).
frame() {
  local name=$1 arg
  shift
  local args=()
  for arg in "$@"; do
    if [[ $arg == @* ]]; then args+=("$work/frames/${arg#@}.npy"); else args+=("$arg"); fi
  done
  echo "frame $name $*" >>"$work/cases.txt"
  start_case run_case "$name" render --out "$work/frames/$name.npy" "${args[@]}"
  frames=$((frames + 1))
}

# drag NAME HANDLE ARGS...: the --json line into drags/NAME.json. HANDLE is
# the handle the click is meant to grab; a case that grabs another one no
# longer covers what it says, which is reported after the run.
drag() {
  local name=$1 handle=$2
  shift 2
  echo "drag $name $*" >>"$work/cases.txt"
  start_case drag_case_run "$name" "$handle" "$@"
  drags=$((drags + 1))
}
drag_case_run() {
  local name=$1 handle=$2
  shift 2
  run_case "$name" drag --json "$@" || return 0
  # A Windows program ends its text lines with CR LF; the JSON is the same.
  tr -d '\r' <"$work/log/$name.out" >"$work/drags/$name.json"
  if ! grep -q "\"handle\":${handle}[,}]" "$work/drags/$name.json"; then
    echo "$name (meant handle $handle): $(cat "$work/drags/$name.json")" >"$work/log/$name.missed"
  fi
}

# The four pixel layouts: options for a test card, and the host alone for a
# .npy input, whose dtype decides the depth.
layouts=(ae8 ae16 pr8 pr32f)
declare -A card=([ae8]="--host ae --depth 8" [ae16]="--host ae --depth 16"
                 [pr8]="--host premiere --depth 8" [pr32f]="--host premiere --depth 32f")
declare -A host=([ae8]="--host ae" [ae16]="--host ae" [pr8]="--host premiere" [pr32f]="--host premiere")
masks=(ellipse rectangle)
falloffs=(linear quadratic cubic gamma gaussian exponential)

# shape
shape_angles=(0 30 -45 90 12.5 200)
for l in "${layouts[@]}"; do
  for m in "${masks[@]}"; do
    for i in "${!falloffs[@]}"; do
      # shellcheck disable=SC2086 # the layout's options are several words
      frame "shape-$l-$m-${falloffs[i]}" ${card[$l]} --size 48x32 --mask-type "$m" --falloff "${falloffs[i]}" \
        --width 36 --height 22 --feather 9 --angle "${shape_angles[i]}"
    done
  done
done

# composite: the ellipse's matte from shape as the layer's alpha.
barrier
for l in "${layouts[@]}"; do
  for c in add subtract intersect create; do
    for inv in "" --invert; do
      # shellcheck disable=SC2086
      frame "composite-$l-$c${inv:+-inverted}" ${host[$l]} --in "@shape-$l-ellipse-gaussian" --composite "$c" $inv \
        --mask-type rectangle --origin 30,12 --width 30 --height 20 --feather 7 --angle 20 --opacity 80 \
        --falloff cubic
    done
  done
done

# size: the box, feather and angle in proportion to the frame.
sizes=(1x1 2x3 3x2 1x17 17x1 37x23 301x167)
for li in "${!layouts[@]}"; do
  l=${layouts[li]}
  for s in "${sizes[@]}"; do
    read -r bw bh bf < <(awk -v s="$s" 'BEGIN { split(s, d, "x"); m = d[1] < d[2] ? d[1] : d[2];
      printf "%g %g %g\n", d[1] * 0.7, d[2] * 0.6, m * 0.2 }')
    # shellcheck disable=SC2086
    frame "size-$l-$s" ${card[$l]} --size "$s" --mask-type "${masks[li % 2]}" --falloff "${falloffs[li]}" \
      --width "$bw" --height "$bh" --feather "$bf" --angle 25
  done
done

barrier
# padding: whole channels only, so 16-bit rows take even paddings and float
# rows multiples of 4.
declare -A paddings=([ae8]="1 3 64" [ae16]="2 6 60" [pr8]="5 16" [pr32f]="4 12 60")
for l in "${layouts[@]}"; do
  for p in ${paddings[$l]}; do
    # shellcheck disable=SC2086
    frame "padding-$l-$p" ${card[$l]} --size 37x23 --row-padding "$p" --width 26 --height 15 --feather 5 \
      --angle -12 --falloff gaussian
  done
  p=${paddings[$l]%% *}
  # shellcheck disable=SC2086
  frame "padding-$l-$p-npy" ${host[$l]} --in "@size-$l-37x23" --row-padding "$p" --composite intersect \
    --width 20 --height 11 --feather 4 --origin 15,9
done

# downsample, aspect, both
for l in "${layouts[@]}"; do
  for d in 1/2,1/2 1/3,1/3 1/2,1/3 1/4,1/1; do
    # shellcheck disable=SC2086
    frame "downsample-$l-${d//[\/,]/-}" ${card[$l]} --size 45x33 --downsample "$d" --width 60 --height 40 \
      --feather 12 --falloff quadratic --angle 15
  done
  for a in 10/11 2/1 40/33 1/2; do
    # shellcheck disable=SC2086
    frame "aspect-$l-${a//\//-}" ${card[$l]} --size 45x33 --par "$a" --width 30 --height 20 --feather 8 --angle 33 \
      --mask-type rectangle --falloff exponential
  done
  # shellcheck disable=SC2086
  frame "both-$l-half-10-11" ${card[$l]} --size 45x33 --downsample 1/2,1/2 --par 10/11 --width 50 --height 30 \
    --feather 10 --angle -8
  # shellcheck disable=SC2086
  frame "both-$l-third-2-1" ${card[$l]} --size 45x33 --downsample 1/3,1/2 --par 2/1 --width 50 --height 30 \
    --feather 10 --angle 71 --mask-type rectangle
done

# angle
angles=(-17.5 45 90 180 270.75 359.99 1000)
for l in "${layouts[@]}"; do
  for i in "${!angles[@]}"; do
    # shellcheck disable=SC2086
    frame "angle-$l-${angles[i]}" ${card[$l]} --size 40x30 --angle "${angles[i]}" --mask-type "${masks[i % 2]}" \
      --width 30 --height 12 --feather 4 --falloff gamma
  done
done

# opacity, feather: none, half the box's height, wider than the box, far wider
feathers=(0 8 40 1000)
for l in "${layouts[@]}"; do
  for o in 0 12.5 50 99.9 100; do
    # shellcheck disable=SC2086
    frame "opacity-$l-$o" ${card[$l]} --size 32x24 --opacity "$o" --width 20 --height 16 --feather 6
  done
  for i in "${!feathers[@]}"; do
    # shellcheck disable=SC2086
    frame "feather-$l-${feathers[i]}" ${card[$l]} --size 36x28 --feather "${feathers[i]}" --mask-type "${masks[i % 2]}" \
      --width 30 --height 16 --angle 10 --falloff "${falloffs[i + 2]}"
  done
done

# threads: the host's iteration on one worker and on several
for l in ae16 pr8; do
  for t in 1 3; do
    # shellcheck disable=SC2086
    frame "threads-$l-$t" ${card[$l]} --size 301x167 --threads "$t" --width 220 --height 120 --feather 50 \
      --angle 40 --falloff gaussian
  done
done

# choice: popup values outside the popups' lists
for l in ae8 pr32f; do
  for c in "--falloff 7" "--falloff 0" "--mask-type 3" "--composite 5"; do
    # shellcheck disable=SC2086
    frame "choice-$l-${c//[- ]/}" ${card[$l]} --size 24x16 $c --width 16 --height 10 --feather 3
  done
done

# origin
for l in "${layouts[@]}"; do
  for o in 0,0 -10,5 60,40; do
    # shellcheck disable=SC2086
    frame "origin-$l-$o" ${card[$l]} --size 48x32 --origin "$o" --width 40 --height 30 --feather 10 --angle 5
  done
done

# Drags. The click goes where the handle is drawn: handle points in layer
# pixels for the box below, mapped through the view to window pixels as the
# host maps them (a composition window places and scales the layer first),
# then turned about the origin by the angle.
views=(comp-identity comp-zoom comp-scaled layer-identity layer-zoom layer-ignores-placement)
declare -A view_args=(
  [comp-identity]="--window comp"
  [comp-zoom]="--window comp --zoom 2 --pan -320,-180"
  [comp-scaled]="--window comp --zoom 1.25 --pan -20,10 --layer-position 60,-20 --layer-scale 0.75"
  [layer-identity]="--window layer"
  [layer-zoom]="--window layer --zoom 1.5 --pan -80,-40"
  [layer-ignores-placement]="--window layer --layer-position 50,50 --layer-scale 2")
# window zoom pan_x pan_y layer_x layer_y layer_scale
declare -A view_maps=(
  [comp-identity]="comp 1 0 0 0 0 1" [comp-zoom]="comp 2 -320 -180 0 0 1"
  [comp-scaled]="comp 1.25 -20 10 60 -20 0.75" [layer-identity]="layer 1 0 0 0 0 1"
  [layer-zoom]="layer 1.5 -80 -40 0 0 1" [layer-ignores-placement]="layer 1 0 0 50 50 2")
box=(--size 640x360 --width 200 --height 120 --feather 30 --opacity 70)
handle_names=(none top-left top-right bottom-left bottom-right rotation feather-left feather-right feather-top
  feather-bottom opacity)
# Where each handle's drag goes, in window pixels from the click: corners
# in two steps, the rest in one.
drag_paths=("" "+23,+14 +31,+9" "-19,+12 -25,+20" "+17,-11 +30,-6" "-21,-13 -35,-2" "+60,+37" "+9,+3" "-7,-2"
  "+2,+6" "-3,-8" "-5,-17")

# place VIEW HANDLE ANGLE N/D: the handle's window point "H,V" and the drag
# path's points, for the layer 640x360 with its origin at the centre.
place() {
  # shellcheck disable=SC2086
  awk -v map="${view_maps[$1]}" -v h="$2" -v deg="$3" -v par="$4" -v path="${drag_paths[$2]}" 'BEGIN {
    split(map, v, " "); window = v[1]; zoom = v[2]; px = v[3]; py = v[4]; lx = v[5]; ly = v[6]; ls = v[7]
    if (window == "layer") { lx = 0; ly = 0; ls = 1 }
    split(par, ratio, "/"); par = ratio[1] / ratio[2]
    ox = 320; oy = 180; w = 200 / par; hh = 120; fx = 30 / par; fy = 30 * 120 / 200; r = 360 / 5
    a = deg * 3.14159265358979 / 180
    # Offsets from the origin in layer pixels.
    if (h == 1) { dx = -w / 2; dy = -hh / 2 } else if (h == 2) { dx = w / 2; dy = -hh / 2 }
    else if (h == 3) { dx = -w / 2; dy = hh / 2 } else if (h == 4) { dx = w / 2; dy = hh / 2 }
    else if (h == 6) { dx = -w / 2 + fx; dy = 0 } else if (h == 7) { dx = w / 2 - fx; dy = 0 }
    else if (h == 8) { dx = 0; dy = -hh / 2 + fy } else if (h == 9) { dx = 0; dy = hh / 2 - fy }
    s = zoom * ls
    cx = (ox * ls + lx) * zoom + px; cy = (oy * ls + ly) * zoom + py
    if (h == 5) {  # not turned with the box: placed at the angle, in layer space
      x = cx + sin(a) * r / par * s; y = cy - cos(a) * r * s
    } else if (h == 10) {  # window pixels beside the origin: 50 % at the origin, 1 % a pixel
      x = cx - 40; y = cy + 50 - 70
    } else {
      x = cx + (dx * cos(a) - dy * sin(a)) * s; y = cy + (dx * sin(a) + dy * cos(a)) * s
    }
    x = int(x + 0.5 * (x >= 0 ? 1 : -1)); y = int(y + 0.5 * (y >= 0 ? 1 : -1))
    printf "%d,%d", x, y
    n = split(path, steps, " ")
    for (i = 1; i <= n; i++) { split(steps[i], d, ","); printf " %d,%d", x + d[1], y + d[2] }
    printf "\n"
  }'
}

# drag_case NAME HANDLE VIEW ANGLE N/D ARGS...
drag_case() {
  local name=$1 handle=$2 view=$3 angle=$4 par=$5 click point
  shift 5
  local to=()
  read -r click points < <(place "$view" "$handle" "$angle" "$par")
  for point in $points; do to+=(--to "$point"); done
  # shellcheck disable=SC2086
  drag "$name" "$handle" "$@" ${view_args[$view]} "${box[@]}" --angle "$angle" --par "$par" --click "$click" "${to[@]}"
}

for hs in ae premiere; do
  depth=$([[ $hs == ae ]] && echo 16 || echo 32f)
  for view in "${views[@]}"; do
    for h in $(seq 1 10); do
      drag_case "handle-$hs-$view-${handle_names[h]}" "$h" "$view" 0 1/1 --host "$hs" --depth "$depth"
    done
  done
  for view in comp-identity layer-zoom; do
    for h in 1 4 5 6 9 10; do
      drag_case "turned-$hs-$view-${handle_names[h]}" "$h" "$view" 30 1/1 --host "$hs"
    done
  done
  for h in 2 3 7; do
    drag_case "aspect-$hs-${handle_names[h]}" "$h" comp-identity 0 10/11 --host "$hs"
  done
  drag "miss-$hs" 0 --host "$hs" "${box[@]}" --click 20,20 --to 200,200
done

barrier
# Every case ran, but one that missed its handle covers less than it says.
misses=()
if compgen -G "$work/log/*.missed" >/dev/null; then mapfile -t misses < <(cat "$work"/log/*.missed); fi
rm -rf "$work/log"
rmdir "$outdir" 2>/dev/null || true
mv "$work" "$outdir"
trap - EXIT
echo "sweep: $frames frames and $drags drags in $((SECONDS - started)) s into $outdir"
if [[ ${#misses[@]} -gt 0 ]]; then
  printf '%s: %d drags grabbed another handle than their case means:\n' "$0" "${#misses[@]}" >&2
  printf '  %s\n' "${misses[@]}" >&2
  exit 1
fi
