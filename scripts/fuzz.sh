#!/usr/bin/env bash
# Fuzzes every reader of outside input, each through its own libFuzzer
# target with AddressSanitizer and UndefinedBehaviorSanitizer, for a bounded
# time shared among the targets (default 120 s in all):
#   scripts/fuzz.sh [SECONDS] [TARGET]     e.g. scripts/fuzz.sh 1200 quorvel-fuzz-npy
# Each target starts from a copy of its seed corpus, fuzz/corpus/TARGET (the
# repository is not changed), with its dictionary fuzz/TARGET.dict if there
# is one. A memory limit and a per-input timeout make runaway allocations and
# hangs findings too. Exits non-zero on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-120}"
targets=(quorvel-fuzz quorvel-fuzz-npy quorvel-fuzz-image-layout quorvel-fuzz-fixed-layout quorvel-fuzz-keys-json quorvel-fuzz-keytext quorvel-fuzz-frames quorvel-fuzz-pe quorvel-fuzz-elf)
if [[ $# -ge 2 ]]; then
  if [[ ! " ${targets[*]} " == *" $2 "* ]]; then
    echo "fuzz.sh: unknown target '$2' (known: ${targets[*]})" >&2
    exit 2
  fi
  targets=("$2")
fi
scripts/install-deps.sh clang
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVEL_FUZZ=ON -DQUORVEL_SANITIZE=address,undefined -DQUORVEL_WITH_PICTURES=OFF \
  -DQUORVEL_BUILD_TESTS=OFF -DQUORVEL_BUILD_BENCH=OFF -DQUORVEL_WERROR=ON >/dev/null
cmake --build build-fuzz --target "${targets[@]}"
corpus=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-corpus.XXXXXX")
trap 'rm -rf "$corpus"' EXIT
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
share=$((seconds / ${#targets[@]}))
((share > 0)) || share=1
for target in "${targets[@]}"; do
  echo "== $target: ${share} s"
  mkdir -p "$corpus/$target"
  cp fuzz/corpus/"$target"/* "$corpus/$target"/
  dict=()
  if [[ -f fuzz/$target.dict ]]; then dict=(-dict="fuzz/$target.dict"); fi
  build-fuzz/fuzz/"$target" "${dict[@]}" -max_total_time="$share" -timeout=20 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix=build-fuzz/"$target"- "$corpus/$target"
done
