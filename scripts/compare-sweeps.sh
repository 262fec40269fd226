#!/usr/bin/env bash
# Compares two folders made by render-sweep.sh, file by file and byte for
# byte: every file must be in both and identical. Prints how many frames
# and drags were compared; on any difference names every one (a file only
# on one side, for a frame how many values differ and the first by pixel
# and channel, for a drag the first differing byte and both lines) and
# exits 1. Exit status 2 for bad input.
#
# usage: scripts/compare-sweeps.sh DIR_A DIR_B
set -euo pipefail

if [[ $# -ne 2 ]]; then
  echo "usage: $0 DIR_A DIR_B" >&2
  exit 2
fi
a=${1%/}
b=${2%/}
for dir in "$a" "$b"; do
  if [[ ! -f $dir/cases.txt ]]; then
    echo "$0: $dir is not a sweep folder (no cases.txt)" >&2
    exit 2
  fi
done

# Where two .npy frames differ, by pixel and channel, is told by
# quorvel-npy-compare (tools/), which reads them with the simulated host's
# own reader; it is needed only when a frame differs.
npy_compare=${QUORVEL_NPY_COMPARE:-$(dirname "$0")/../build/quorvel-npy-compare}
describe_npy_difference() {
  if [[ ! -x $npy_compare ]]; then
    echo "the files differ (no $npy_compare to say where: build it with scripts/build.sh)"
    return
  fi
  local said
  said=$("$npy_compare" "$1" "$2" 2>&1) || true
  # Equal shapes and values in files that differ: the headers' text differs.
  echo "${said:-the same values, but $(cmp "$1" "$2" 2>&1 | head -1 | sed "s|^cmp: ||") (in the header)}"
}

differences=()
frames=0
drags=0
while IFS= read -r -d '' path; do
  rel=${path#"$a"/}
  if [[ ! -f $b/$rel ]]; then
    differences+=("$rel: only in $a")
    continue
  fi
  case $rel in
    frames/*.npy) frames=$((frames + 1)) ;;
    drags/*.json) drags=$((drags + 1)) ;;
  esac
  if ! cmp -s "$path" "$b/$rel"; then
    if [[ $rel == *.npy ]]; then
      differences+=("$rel: $(describe_npy_difference "$path" "$b/$rel")")
    else
      # Control characters shown (^M for a carriage return).
      differences+=("$rel: $(cmp "$path" "$b/$rel" 2>&1 | head -1 | sed "s|^cmp: ||")"$'\n'"    $(head -c 400 "$path" | cat -v)"$'\n'"    $(head -c 400 "$b/$rel" | cat -v)")
    fi
  fi
done < <(find "$a" -type f -print0 | sort -z)
while IFS= read -r -d '' path; do
  rel=${path#"$b"/}
  [[ -f $a/$rel ]] || differences+=("$rel: only in $b")
done < <(find "$b" -type f -print0 | sort -z)

echo "compared $frames frames and $drags drags: $a against $b"
if [[ ${#differences[@]} -gt 0 ]]; then
  echo "${#differences[@]} differences:" >&2
  printf '  %s\n' "${differences[@]}" >&2
  exit 1
fi
echo "identical"
