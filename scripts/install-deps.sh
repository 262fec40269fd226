#!/usr/bin/env bash
# Installs, with apt-get, whatever Debian packages the build and tests need
# that this machine lacks. Safe to run again: it does nothing when all are present.
#   scripts/install-deps.sh            the Linux build
#   scripts/install-deps.sh windows    also the Windows cross build and Wine to test it
#   scripts/install-deps.sh clang      also clang with its sanitizer and fuzzer runtimes
#   scripts/install-deps.sh bench      also the image library's own tool, to compare against
#   scripts/install-deps.sh package    also what the Debian package's dependencies are found with, and unzip
#   scripts/install-deps.sh farm       also Slurm and munge, for the one-node cluster of the farm test
#   scripts/install-deps.sh format     also the pinned source formatter (scripts/format.sh)
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libelf-dev nlohmann-json3-dev libcli11-dev
  libopenimageio-dev libcairo2-dev
  # The formatter the tests read the manual page with, as man does.
  groff-base
)

for group in "$@"; do
  case "$group" in
    windows)
      # The POSIX-threads flavour of mingw-w64 (std::jthread), GoogleTest's
      # sources to build for Windows, and 64-bit Wine to run the tests.
      packages+=(
        g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
        googletest
        wine wine64
      )
      ;;
    clang)
      # clang with its libFuzzer and sanitizer runtimes.
      packages+=(clang libclang-rt-dev)
      ;;
    bench)
      packages+=(openimageio-tools)
      ;;
    farm)
      packages+=(slurm-wlm munge)
      ;;
    format)
      packages+=(clang-format-14)
      ;;
    package)
      # dpkg-shlibdeps finds the package's dependencies in what its binaries
      # link; NSIS makes the Windows installer, osslsigncode signs it and
      # checks signatures, openssl makes the tests' throw-away certificate.
      packages+=(dpkg-dev unzip nsis osslsigncode openssl)
      ;;
    *)
      echo "install-deps: unknown group '$group' (known: windows, clang, bench, package, farm, format)" >&2
      exit 2
      ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "installing: ${missing[*]}" >&2
sudo=()
if [[ $(id -u) -ne 0 ]]; then sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
