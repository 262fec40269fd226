#!/usr/bin/env bash
# Checks a build of quorvel-host without the picture libraries (the Windows
# build): it renders .npy frames and the test card, replays drags and lists
# handles, and refuses image files, drawn pictures, overlay and sequences
# (a drag on a frame of one included) with exit status 2, one line on
# stderr naming the file, and nothing written.
#
# usage: scripts/check-npy-only-tool.sh TOOL [TOOL-ARGS-PREFIX...]
#   scripts/check-npy-only-tool.sh scripts/wine-run.sh build-win/quorvel-host.exe
set -euo pipefail

if [[ $# -lt 1 ]]; then
  echo "usage: $0 TOOL [TOOL-ARGS-PREFIX...]" >&2
  exit 2
fi
tool=("$@")
base=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-npy-only.XXXXXX")
trap 'rm -rf "$base"' EXIT
# The tool's files go to dir; what it prints to base.
dir=$base/files
mkdir "$dir"
problems=()
checks=0

# refused NAME MESSAGE-PART ARGS...: status 2, one line holding MESSAGE-PART,
# and the folder as it was.
refused() {
  local name=$1 part=$2 status=0 before after
  shift 2
  checks=$((checks + 1))
  before=$(ls -A "$dir")
  "${tool[@]}" "$@" >"$base/$name.out" 2>"$base/$name.err" || status=$?
  after=$(ls -A "$dir")
  local err lines
  err=$(tr -d '\r' <"$base/$name.err")
  lines=$(printf '%s\n' "$err" | grep -c .) || true
  [[ $status -eq 2 ]] || problems+=("$name: exit status $status, not 2")
  [[ $lines -eq 1 ]] || problems+=("$name: $lines lines on stderr, not 1: $err")
  [[ $err == *"$part"* ]] || problems+=("$name: the message does not say '$part': $err")
  [[ $before == "$after" ]] || problems+=("$name: the folder changed: [$before] became [$after]")
}

# works NAME ARGS...: status 0.
works() {
  local name=$1 status=0
  shift
  checks=$((checks + 1))
  "${tool[@]}" "$@" >"$base/$name.out" 2>"$base/$name.err" || status=$?
  [[ $status -eq 0 ]] || problems+=("$name: exit status $status: $(tr -d '\r' <"$base/$name.err")")
}

printf 'not a picture' >"$dir/in.png"
only_npy="$dir/out.png: this build of the tool reads and writes only .npy"
refused image-output "$only_npy" render --out "$dir/out.png" --size 4x4
refused image-output-folder-missing "$dir/none/out.tif: this build of the tool reads and writes only .npy" \
  render --out "$dir/none/out.tif"
refused image-input "$dir/in.png: this build of the tool reads and writes only .npy" \
  render --in "$dir/in.png" --out "$dir/out.npy"
refused image-input-missing "$dir/missing.exr: this build of the tool reads and writes only .npy" \
  render --in "$dir/missing.exr" --out "$dir/out.npy"
refused drag-picture "$dir/drag.png: this build of the tool draws no pictures" \
  drag --click 960,324 --to 1000,300 --out "$dir/drag.png"
refused overlay "overlay is not available" overlay --out "$dir/overlay.png"
refused sequence "sequences (--frames" render --frames 1-2 --out "$dir/seq.%04d.npy"
refused numbered-output "sequences (--frames" render --out "$dir/seq.%04d.npy"
refused drag-shot "shots (--frames) are not available" drag --frames 1001 --click 960,324 --to 1000,300

works render-card render --out "$dir/card.npy" --size 5x4 --host premiere --depth 32f --row-padding 8
works render-npy render --in "$dir/card.npy" --out "$dir/again.npy" --host premiere --composite intersect
works drag drag --json --click 960,324 --to 1200,540
works handles handles --json
works help render --help
# The outside facts: NumPy's header for a 5x4 float frame, the rotation
# handle grabbed and turned to 90 degrees, and a help that says what is
# left out.
grep -q "'descr': '<f4', 'fortran_order': False, 'shape': (4, 5, 4)" "$dir/card.npy" 2>/dev/null ||
  problems+=("render-card: $dir/card.npy is not a 5x4 float32 .npy frame")
[[ -f $dir/again.npy ]] || problems+=("render-npy: nothing written")
grep -q '"angle":90.0,.*"handle":5,' "$base/drag.out" ||
  problems+=("drag: not the rotation handle turned to 90 degrees: $(cat "$base/drag.out")")
grep -q '"handle":5,"name":"rotation","x":960,"y":324' "$base/handles.out" ||
  problems+=("handles: the rotation handle not listed at 960,324: $(cat "$base/handles.out")")
grep -q "reads and writes only .npy" "$base/help.out" || problems+=("help: does not say the build reads only .npy")
grep -q "Sequences (--frames, keyframes, contact sheets) are not available" "$base/help.out" ||
  problems+=("help: does not say sequences are not available")

if [[ ${#problems[@]} -gt 0 ]]; then
  printf '%s: %d problems:\n' "$0" "${#problems[@]}" >&2
  printf '  %s\n' "${problems[@]}" >&2
  exit 1
fi
echo "npy-only tool: $checks runs as expected"
