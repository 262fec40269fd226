#!/usr/bin/env bash
# The test suite under AddressSanitizer and UndefinedBehaviorSanitizer
# (float-to-integer overflow included), then the tests that render on several
# threads and several frames at once under ThreadSanitizer. Any report fails
# the run. Built with clang, the fuzzer's compiler: GCC's sanitizer builds
# raise false maybe-uninitialized warnings inside the standard library.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh clang
export CC=clang CXX=clang++

# Leaks inside the image and drawing libraries' own caches are theirs, not ours.
suppressions=$(mktemp "${TMPDIR:-/tmp}/quorvel-lsan.XXXXXX")
trap 'rm -f "$suppressions"' EXIT
# The HEIF encoder's among them: every writer the library has is walked.
printf '%s\n' leak:libOpenImageIO leak:libfontconfig leak:libcairo leak:libpixman leak:libglib leak:libtbb \
  leak:libopenjp2 leak:libOpenEXR leak:libIex leak:libheif leak:libx265 leak:libde265 leak:libaom \
  leak:libwebp leak:libgif >"$suppressions"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_SANITIZE=address,undefined \
  -DQUORVEL_BUILD_BENCH=OFF -DQUORVEL_WERROR=ON >/dev/null
cmake --build build-asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 LSAN_OPTIONS="suppressions=$suppressions:print_suppressions=0" \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$(nproc)" -LE exhaustive

echo "== ThreadSanitizer"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_SANITIZE=thread \
  -DQUORVEL_BUILD_BENCH=OFF -DQUORVEL_WERROR=ON >/dev/null
# The tests labelled threaded in tests/CMakeLists.txt: in-process renders on
# several threads and instances, and the shot pipeline with parallel frames,
# a failed frame and an interruption. One target builds their programs.
cmake --build build-tsan --target quorvel_threaded_tests
# ThreadSanitizer's fixed memory layout can collide with the wide address
# randomisation of some kernels; run without it where the kernel allows.
no_aslr=()
if setarch "$(uname -m)" -R true 2>/dev/null; then no_aslr=(setarch "$(uname -m)" -R); fi
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  "${no_aslr[@]}" ctest --test-dir build-tsan --output-on-failure -j "$(nproc)" -L threaded
