#!/usr/bin/env bash
# Fuzzes the module through the simulated host for a bounded time (default
# 120 s; first argument overrides) with clang's libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer. Starts from the seed corpus in fuzz/corpus
# (copied, so the repository is not changed). Exits non-zero on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-120}"
scripts/install-deps.sh clang
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVEL_FUZZ=ON -DQUORVEL_SANITIZE=address,undefined -DQUORVEL_WITH_PICTURES=OFF \
  -DQUORVEL_BUILD_TESTS=OFF -DQUORVEL_BUILD_BENCH=OFF -DQUORVEL_WERROR=ON >/dev/null
cmake --build build-fuzz --target quorvel-fuzz
corpus=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-corpus.XXXXXX")
trap 'rm -rf "$corpus"' EXIT
cp fuzz/corpus/* "$corpus"/
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
build-fuzz/fuzz/quorvel-fuzz -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix=build-fuzz/ "$corpus"
