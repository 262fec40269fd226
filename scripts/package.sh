#!/usr/bin/env bash
# The release files, made by each build's `package` target and checked as
# users get them:
#   build/quorvel_<version>_amd64.deb      installed with apt-get on this
#       machine's own system paths, run from the PATH (about, a render
#       compared byte for byte with the build tree's), then removed;
#   build-win/Quorvel-<version>-win64.zip  unpacked, its hashes checked,
#       its module's shape (sole export, descriptor, version resource) and
#       its tool (about, a render under Wine) checked;
#   build-win/Quorvel-<version>-win64.exe  the installer, made from the
#       zip's files: installed, upgraded, refused, signed and uninstalled
#       under Wine (scripts/installer-test.sh).
# Needs root for apt-get (or sudo). Refuses to run over an installed quorvel
# package rather than replace it. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
scripts/install-deps.sh windows package
# The release checked here is unsigned (installer-test.sh signs one of its own).
unset QUORVEL_SIGN_CERT QUORVEL_SIGN_KEY QUORVEL_SIGN_TIMESTAMP
fail() {
  echo "package: $*" >&2
  exit 1
}
sudo=()
if [[ $(id -u) -ne 0 ]]; then sudo=(sudo); fi
work=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-package.XXXXXX")
installed_here=0
cleanup() {
  if ((installed_here)); then
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get purge -y -qq quorvel >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

scripts/build.sh
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)
[[ -n $version ]] || fail "no project version in build/CMakeCache.txt"

echo "== Debian package"
rm -f build/quorvel_*_amd64.deb
cmake --build build --target package >"$work/cpack.log" || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb=$PWD/build/quorvel_${version}_amd64.deb
[[ -f $deb ]] || fail "no $deb"
dpkg-deb -f "$deb" Depends | grep -q 'libopenimageio' || fail "its dependencies lack the image library: $(dpkg-deb -f "$deb" Depends)"
echo "built:     $(basename "$deb"), depends on $(dpkg-deb -f "$deb" Depends)"
if dpkg-query -W -f='${Status}' quorvel 2>/dev/null | grep -q 'install ok installed'; then
  fail "a quorvel package is installed already; remove it first (apt-get remove quorvel)"
fi
installed_here=1
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "$deb" >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log" >&2; fail "apt-get install failed"; }
tool=$(command -v quorvel-host) || fail "quorvel-host is not on the PATH after installing"
[[ $tool == /usr/bin/quorvel-host ]] || fail "quorvel-host found at $tool, not /usr/bin"
(cd "$work" && quorvel-host about) | grep -q '^Quorvel v' || fail "quorvel-host about from the PATH"
(cd "$work" && quorvel-host render --size 320x180 --width 200 --feather 30 --out installed.npy >/dev/null &&
  quorvel-host render --size 320x180 --width 200 --feather 30 --out installed.png >/dev/null) ||
  fail "a render from the PATH failed"
build/quorvel-host render --size 320x180 --width 200 --feather 30 --out "$work/built.npy" >/dev/null
cmp -s "$work/installed.npy" "$work/built.npy" || fail "the installed tool renders other pixels than the build's"
[[ -s $work/installed.png ]] || fail "the installed tool wrote no image file"
quorvel-host --version | grep -q '^module: Quorvel v.*, /usr/lib/quorvel/VT_Quorvel.aex$' ||
  fail "quorvel-host --version does not name the installed module: $(quorvel-host --version)"
[[ -f /usr/share/man/man1/quorvel-host.1.gz ]] || fail "no manual page /usr/share/man/man1/quorvel-host.1.gz"
# Every link of the installed guides leads to a file the package installed.
doc=/usr/share/doc/quorvel
for page in $(find "$doc" -name '*.md'); do
  for link in $(grep -o '](\([^)#]*\)' "$page" | sed 's/^](//' | grep -v '^[a-z]*:' | sort -u); do
    [[ -e $(dirname "$page")/$link ]] || fail "${page#"$doc"/} links to $link, which the package does not install"
  done
done
# The cluster script runs the tool beside it, and says so when there is none.
[[ $(command -v quorvel-slurm-shot) == /usr/bin/quorvel-slurm-shot ]] || fail "quorvel-slurm-shot is not in /usr/bin"
(cd "$work" && quorvel-slurm-shot --dry-run --frames 1-4 --chunk-size 2 -- --out x.%d.npy 2>/dev/null) |
  grep -q 'exec\\ /usr/bin/quorvel-host\\ render' || fail "quorvel-slurm-shot does not run the quorvel-host beside it"
# Copied alone, with the commands it uses but no quorvel-host on the PATH.
mkdir "$work/alone" "$work/alone-bin"
cp /usr/bin/quorvel-slurm-shot "$work/alone/"
for c in bash basename dirname readlink sed; do ln -s "$(command -v "$c")" "$work/alone-bin/$c"; done
said=$(env PATH="$work/alone-bin" "$work/alone/quorvel-slurm-shot" --frames 1-2 -- --out x.%d.npy 2>&1) &&
  fail "quorvel-slurm-shot without a tool exited 0"
[[ $said == *"quorvel-host is neither beside this script"* && $(wc -l <<<"$said") == 1 ]] ||
  fail "quorvel-slurm-shot without a tool says: $said"
echo "installed: $tool runs about and renders the build's pixels (and an image file); its manual page;"
echo "           the guides with every link whole; quorvel-slurm-shot finds the tool beside it"
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get purge -y -qq quorvel >/dev/null 2>&1 || fail "apt-get purge failed"
installed_here=0
for path in /usr/bin/quorvel-host /usr/bin/quorvel-slurm-shot /usr/lib/quorvel /usr/share/doc/quorvel \
  /usr/share/man/man1/quorvel-host.1.gz; do
  [[ ! -e $path ]] || fail "$path is left after removing the package"
done
! dpkg-query -W quorvel >/dev/null 2>&1 || fail "dpkg still lists quorvel after purging it"
echo "removed:   nothing left behind"

echo "== Windows archive"
cmake --preset windows -DQUORVEL_WERROR="${QUORVEL_WERROR:-OFF}" >/dev/null
cmake --build --preset windows --target VT_Quorvel quorvel-host
zip=build-win/Quorvel-${version}-win64.zip
installer=build-win/Quorvel-${version}-win64.exe
rm -f "$zip" "$installer"
cmake --build build-win --target package >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
[[ -f $zip ]] || fail "no $zip"
[[ -f $installer ]] || fail "no $installer"
# The release made here is unsigned, and says so in one line.
[[ $(grep -c 'release is unsigned' "$work/cpack.log") == 1 ]] || fail "the package target did not say once that the release is unsigned"
echo "built:     $(basename "$zip") and $(basename "$installer"); $(grep 'release is unsigned' "$work/cpack.log")"
mkdir "$work/zip"
unzip -q "$zip" -d "$work/zip"
for f in VT_Quorvel.aex quorvel-host.exe INSTALL.txt LICENSE SHA256SUMS; do
  [[ -f $work/zip/$f ]] || fail "$zip lacks $f"
done
# Every file but SHA256SUMS is listed, and every hash holds.
listed=$(cut -c67- "$work/zip/SHA256SUMS" | sort)
present=$(cd "$work/zip" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | sort)
[[ $listed == "$present" ]] || fail "SHA256SUMS lists other files than the archive holds"
(cd "$work/zip" && sha256sum --quiet -c SHA256SUMS) || fail "a hash in SHA256SUMS does not hold"
cmp -s "$work/zip/VT_Quorvel.aex" build-win/VT_Quorvel.aex || fail "the archive's module is not the one built and tested"
echo "unpacked:  $(basename "$zip"): $(wc -l <"$work/zip/SHA256SUMS") files, hashes hold"
scripts/check-windows-module.sh build "$work/zip/VT_Quorvel.aex"
# The session's own cleanup replaces this script's: nothing is installed by now.
source scripts/wine-session.sh
wine_session_cleanup_paths+=("$work")
(cd "$work/zip" && "$repo/scripts/wine-run.sh" quorvel-host.exe about) | grep -q '^Quorvel v' ||
  fail "the archive's quorvel-host.exe about, under Wine"
(cd "$work/zip" && "$repo/scripts/wine-run.sh" quorvel-host.exe render --size 320x180 --width 200 --feather 30 \
  --out windows.npy >/dev/null) || fail "the archive's quorvel-host.exe render, under Wine"
cmp -s "$work/zip/windows.npy" "$work/built.npy" || fail "the archive's tool renders other pixels than the Linux build's"
echo "tool:      quorvel-host.exe runs about and renders the Linux build's pixels under Wine"

echo "== Windows installer"
scripts/installer-test.sh
