#!/usr/bin/env bash
# The tree's C and C++ files in the style of .clang-format, by one pinned
# formatter: Debian 12's clang-format 14, since another version lays out
# the same code differently and the check would flip between machines.
#   scripts/format.sh           reformats every tracked source in place
#   scripts/format.sh --check   changes nothing; lists the files that differ and exits 1
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh format

formatter=clang-format-14
if ! "$formatter" --version | grep -q ' 14\.0\.'; then
  echo "format: $formatter is not clang-format 14.0" >&2
  exit 2
fi

mode=fix
case "${1:-}" in
  "") ;;
  --check) mode=check ;;
  *)
    echo "usage: $0 [--check]" >&2
    exit 2
    ;;
esac

mapfile -d '' files < <(git ls-files -z -- '*.h' '*.c' '*.cpp' '*.hpp' '*.inc')
if [[ $mode == fix ]]; then
  "$formatter" -i --style=file -- "${files[@]}"
  exit 0
fi
differ=()
for file in "${files[@]}"; do
  if ! "$formatter" --style=file --dry-run -Werror -- "$file" >/dev/null 2>&1; then
    differ+=("$file")
  fi
done
if ((${#differ[@]} > 0)); then
  echo "format: ${#differ[@]} of ${#files[@]} files differ from .clang-format (scripts/format.sh fixes them):" >&2
  printf '  %s\n' "${differ[@]}" >&2
  exit 1
fi
echo "format: all ${#files[@]} files as .clang-format lays them out"
