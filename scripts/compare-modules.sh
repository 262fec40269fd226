#!/usr/bin/env bash
# Two builds of the module, byte for byte: the render and drag sweep of
# render-sweep.sh with each (compared by compare-sweeps.sh), then the
# benchmark's three scenes at 3840x2160 in all four pixel layouts, each
# frame rendered with both modules and compared with cmp. Used to show that
# a change meant to be invisible (a faster loop, faster curves) is.
#
# usage: scripts/compare-modules.sh OLD_MODULE NEW_MODULE TOOL [TOOL-ARGS-PREFIX...]
#   scripts/compare-modules.sh /tmp/old/VT_Quorvel.aex build/VT_Quorvel.aex build/quorvel-host
#   scripts/compare-modules.sh /tmp/old-win/VT_Quorvel.aex build-win/VT_Quorvel.aex \
#       scripts/wine-run.sh build-win/quorvel-host.exe
#
# The last word of the tool command is the tool's program: the sweep runs a
# copy of it with each module beside it (and the picture library, when the
# tool has one beside it). Prints what it compared; exits 1 on any
# difference, 2 on bad input.
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ $# -lt 3 ]]; then
  echo "usage: $0 OLD_MODULE NEW_MODULE TOOL [TOOL-ARGS-PREFIX...]" >&2
  exit 2
fi
old=$(realpath "$1")
new=$(realpath "$2")
shift 2
command=("$@")
program=${command[-1]}
for file in "$old" "$new" "$program"; do
  if [[ ! -f $file ]]; then
    echo "$0: $file: no such file" >&2
    exit 2
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-modules.XXXXXX")
trap 'rm -rf "$work"' EXIT
status=0

# A copy of the tool with one module beside it, under the module's own name.
place() {
  local dir=$work/$1 module=$2
  mkdir -p "$dir"
  cp "$program" "$dir/"
  cp "$module" "$dir/VT_Quorvel.aex"
  local pictures
  pictures=$(dirname "$program")/quorvel-pictures.so
  if [[ -f $pictures ]]; then cp "$pictures" "$dir/"; fi
}
place old "$old"
place new "$new"
with() {
  local side=$1
  shift
  local words=("${command[@]}")
  words[-1]=$work/$side/$(basename "$program")
  "${words[@]}" "$@"
}

echo "== sweep"
scripts/render-sweep.sh "$work/sweep-old" "${command[@]:0:${#command[@]}-1}" "$work/old/$(basename "$program")"
scripts/render-sweep.sh "$work/sweep-new" "${command[@]:0:${#command[@]}-1}" "$work/new/$(basename "$program")"
scripts/compare-sweeps.sh "$work/sweep-old" "$work/sweep-new" || status=1

echo "== benchmark scenes, 3840x2160"
declare -A layout=([ae8]="--host ae --depth 8" [ae16]="--host ae --depth 16"
                   [pr8]="--host premiere --depth 8" [pr32f]="--host premiere --depth 32f")
large="--width 3400 --height 1900 --feather 850 --angle 30"
declare -A scene=([default]="" [gaussian]="$large --falloff gaussian"
                  [rectangle]="$large --mask-type rectangle --falloff cubic")
compared=0
for name in default gaussian rectangle; do
  for path in ae8 ae16 pr8 pr32f; do
    # shellcheck disable=SC2086  # the option strings split into words
    for side in old new; do
      if ! with "$side" render --size 3840x2160 ${layout[$path]} ${scene[$name]} --out "$work/$side.npy" \
        >/dev/null 2>"$work/err"; then
        echo "$name/$path: the $side module's render failed:" >&2
        cat "$work/err" >&2
        exit 1
      fi
    done
    if cmp -s "$work/old.npy" "$work/new.npy"; then
      compared=$((compared + 1))
    else
      echo "$name/$path: the frames differ: $(cmp "$work/old.npy" "$work/new.npy" 2>&1 | head -1)" >&2
      status=1
    fi
    rm -f "$work/old.npy" "$work/new.npy"
  done
done
echo "$compared of 12 scene frames identical"
exit "$status"
