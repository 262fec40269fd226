#!/usr/bin/env bash
# Compares two folders made by render-sweep.sh, file by file and byte for
# byte: every file must be in both and identical. Prints how many frames
# and drags were compared; on any difference names every one (a file only
# on one side, or the first differing byte of a file, which for a frame is
# given as the pixel and channel) and exits 1. Exit status 2 for bad input.
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

# Where two .npy files of the same shape differ, in pixels: the header
# (NumPy format 1.0, as the tool writes it) gives the shape and dtype, and
# the data follows it in C order, rows of pixels of channels.
describe_npy_difference() {
  local header_a header_b
  header_a=$(npy_header "$1")
  header_b=$(npy_header "$2")
  if [[ $header_a != "$header_b" ]]; then
    echo "headers differ: $header_a against $header_b"
    return
  fi
  local descr item start height width channels
  descr=$(sed -n "s/.*'descr': '\([^']*\)'.*/\1/p" <<<"$header_a")
  item=${descr:2}
  read -r height width channels < <(sed -n "s/.*'shape': (\([0-9]*\), \([0-9]*\), \([0-9]*\)).*/\1 \2 \3/p" <<<"$header_a")
  start=$((10 + $(npy_header_length "$1")))
  local first count
  read -r first count < <(cmp -l "$1" "$2" | awk -v start="$start" -v item="$item" '
    { v = int(($1 - 1 - start) / item); if (!(v in seen)) { seen[v] = 1; n++; if (n == 1) first = v } }
    END { print first, n }')
  local x y c od_type
  y=$((first / (width * channels)))
  x=$((first / channels % width))
  c=$((first % channels))
  case $descr in
    *f4) od_type=(-tf4 -tx4) ;;
    *u2) od_type=(-tu2) ;;
    *) od_type=(-tu1) ;;
  esac
  echo "$count of $((height * width * channels)) values differ, the first at x=$x y=$y channel $c ($descr):" \
    "$(value_at "$1" $((start + first * item)) "$item" "${od_type[@]}") against" \
    "$(value_at "$2" $((start + first * item)) "$item" "${od_type[@]}")"
}

npy_header_length() { od -An -j8 -N2 -tu2 --endian=little "$1" | tr -d ' '; }

# The header text of a .npy file, without its padding.
npy_header() {
  local length
  length=$(npy_header_length "$1")
  head -c $((10 + length)) "$1" | tail -c "$length" | sed 's/ *$//'
}

# value_at FILE OFFSET SIZE OD-TYPES...: one value, in each of the types.
value_at() {
  local file=$1 offset=$2 size=$3 type out=()
  shift 3
  for type in "$@"; do
    out+=("$(od -An -j"$offset" -N"$size" "$type" --endian=little "$file" | tr -s ' ' | sed 's/^ //')")
  done
  echo "${out[*]}"
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
