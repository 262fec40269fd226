#!/usr/bin/env bash
# The Windows installer, build-win/Quorvel-<version>-win64.exe, under Wine:
# one row a case, each in a fresh Wine prefix, checked from the outside
# (the files' hashes against the zip's SHA256SUMS, the registry through
# reg.exe, the exit status of every silent run):
#   hosts-one-folder  two host versions registered at one folder (spelled
#                     in two ways)
#   custom-folders    a custom CommonPluginInstallPath (with a trailing
#                     backslash) beside the default one: two folders
#   no-host           no host registered: the common plug-in folder, made
#                     by the installer and removed by the uninstaller
#   upgrade           an older version, built here, whose host has moved
#                     since: the newer one replaces it, none left behind
#   downgrade         an older installer over the newer install: refused
#   repair            the same version again, over damaged files
#   blocked           a folder that cannot be written: status non-zero,
#                     the install before it as it was
#   in-use            a host holding the module: install and uninstall
#                     refused, nothing touched; both work once it lets go
#   signed            a release signed with a throw-away certificate:
#                     osslsigncode verify passes on every signed file and
#                     fails on a copy with one byte changed
# Every row that installs ends with the silent uninstall (the registry's
# QuietUninstallString), which must leave nothing of ours behind.
#
# usage: scripts/installer-test.sh [ROW...]   (after scripts/package.sh made
# the zip and the installer; default: every row). Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
fail() {
  echo "installer-test: $*" >&2
  exit 1
}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-win/CMakeCache.txt)
[[ -n $version ]] || fail "no project version in build-win/CMakeCache.txt: build the Windows release first (scripts/package.sh)"
zip=$repo/build-win/Quorvel-$version-win64.zip
installer=$repo/build-win/Quorvel-$version-win64.exe
[[ -f $zip && -f $installer ]] || fail "no $zip or $installer: make them with scripts/package.sh"
all_rows=(hosts-one-folder custom-folders no-host upgrade downgrade repair blocked in-use signed)
rows=("${@:-${all_rows[@]}}")

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-installer.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/zip"
unzip -q "$zip" -d "$work/zip"

# An older release: the same files, its module one byte longer, so that a
# module left unreplaced shows in its hash.
cp -r "$work/zip" "$work/old-files"
printf '\0' >>"$work/old-files/VT_Quorvel.aex"
makensis -WX -V1 -DVERSION=0.9.0 "-DSOURCE=$work/old-files" "-DOUTFILE=$work/old.exe" packaging/Installer.nsi
# A program that holds the module loaded, as a running host does.
x86_64-w64-mingw32-g++ -O2 -municode -static -o "$work/HoldModule.exe" tests/installer/HoldModule.cpp

uninst_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvel'
hosts_key='HKLM\SOFTWARE\Adobe\After Effects'
default_folder='C:\Program Files\Adobe\Common\Plug-ins\7.0\MediaCore'
instdir='C:\Program Files\Quorvel'

# --- In a case's prefix ----------------------------------------------------

wine_() { "$repo/scripts/wine-run.sh" "$@"; }
# A Windows path's place in the prefix.
unix() {
  local p=${1#[Cc]:}
  p=${p//\\//}
  echo "$WINEPREFIX/drive_c${p%/}"
}
register_host() { wine_ reg add "$hosts_key\\$1" /v CommonPluginInstallPath /t REG_SZ /d "$2" /f >/dev/null; }
# A host's folder, as the host's own installer leaves it.
make_host_folder() { mkdir -p "$(unix "$1")"; }
reg_value() {
  wine_ reg query "$uninst_key" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_[A-Z_]* *//p"
}
sum_of() { sha256sum "$1" | cut -c1-64; }
zip_sum() { grep "  $1\$" "$work/zip/SHA256SUMS" | cut -c1-64; }
# Runs an installer silently: its exit status in $status, its time in $took.
run_installer() {
  local start
  start=$(date +%s%N)
  status=0
  wine_ "$@" /S || status=$?
  took=$((($(date +%s%N) - start) / 1000000))
}
# The registry's quiet uninstall, as a deployment tool runs it.
run_uninstall() {
  local line start
  line=$(reg_value QuietUninstallString)
  [[ -n $line ]] || fail "$row: no QuietUninstallString"
  printf '@%s\r\n' "$line" >"$WINEPREFIX/drive_c/quorvel-uninstall.bat"
  start=$(date +%s%N)
  status=0
  wine_ cmd /c 'C:\quorvel-uninstall.bat' || status=$?
  took=$((($(date +%s%N) - start) / 1000000))
}
# The hashes of everything installed, in one list: for comparing the
# install before and after a refused run.
snapshot() {
  (cd "$WINEPREFIX/drive_c" && find "Program Files/Quorvel" "${@}" -type f -exec sha256sum {} + 2>/dev/null | sort)
  wine_ reg query "$uninst_key" 2>/dev/null | tr -d '\r' | sort
}

# The install is the zip's, in every folder of $@ (Windows paths of the
# hosts' plug-in folders) and nowhere else, and Apps & Features has it.
check_installed() {
  local folder module n
  for folder in "$@"; do
    module=$(unix "$folder")/Quorvel/VT_Quorvel.aex
    [[ -f $module ]] || fail "$row: no module in $folder\\Quorvel"
    [[ $(sum_of "$module") == "$(zip_sum VT_Quorvel.aex)" ]] || fail "$row: the module in $folder is not the zip's"
    n=$(find "$(unix "$folder")/Quorvel" -type f | wc -l)
    ((n == 1)) || fail "$row: $folder\\Quorvel holds $n files, not the module alone"
  done
  n=$(find "$WINEPREFIX/drive_c" -name VT_Quorvel.aex -type f | wc -l)
  (($# == n)) || fail "$row: $n modules installed, for $# folders"
  local dir
  dir=$(unix "$instdir")
  while read -r hash name; do
    [[ $name == VT_Quorvel.aex ]] && continue
    [[ -f $dir/$name ]] || fail "$row: $instdir lacks $name"
    [[ $(sum_of "$dir/$name") == "$hash" ]] || fail "$row: $instdir\\$name is not the zip's"
  done <"$work/zip/SHA256SUMS"
  [[ -f $dir/uninstall.exe && -f $dir/install.log ]] || fail "$row: no uninstall.exe or install.log in $instdir"
  [[ -z $(find "$WINEPREFIX/drive_c" -name '*.quorvel-*') ]] || fail "$row: files of a swap are left: $(find "$WINEPREFIX/drive_c" -name '*.quorvel-*')"
  local expect
  for expect in "DisplayName=Quorvel" "DisplayVersion=$version" "Publisher=Veltrane" "InstallLocation=$instdir"; do
    [[ $(reg_value "${expect%%=*}") == "${expect#*=}" ]] || fail "$row: ${expect%%=*} is '$(reg_value "${expect%%=*}")', not '${expect#*=}'"
  done
  [[ $(reg_value UninstallString) == *'uninstall.exe'* ]] || fail "$row: UninstallString: $(reg_value UninstallString)"
  [[ $(reg_value QuietUninstallString) == *'uninstall.exe" /S _?='* ]] || fail "$row: QuietUninstallString: $(reg_value QuietUninstallString)"
  # EstimatedSize in KiB: within a few of the files' own.
  local size kib
  size=$(($(reg_value EstimatedSize)))
  kib=$(($(find "$dir" -type f -printf '%s\n' | paste -sd+ | bc) / 1024 + $(stat -c %s "$(unix "$1")/Quorvel/VT_Quorvel.aex") * $# / 1024))
  ((size >= kib - 16 && size <= kib + 16)) || fail "$row: EstimatedSize $size KiB, the files are $kib KiB"
  # The installed tool runs the installed module.
  (cd "$WINEPREFIX/drive_c" && wine_ "$instdir\\quorvel-host.exe" inspect "$1\\Quorvel\\VT_Quorvel.aex") >"$work/inspect.txt" 2>&1 ||
    fail "$row: the installed quorvel-host.exe inspect failed: $(cat "$work/inspect.txt")"
  grep -q '^entry point: EntryPointFunc found' "$work/inspect.txt" || fail "$row: inspect: $(cat "$work/inspect.txt")"
  for folder in "$@"; do
    grep -qF "wrote $folder\\Quorvel\\VT_Quorvel.aex" "$dir/install.log" || fail "$row: the log does not name $folder's module"
  done
  grep -qF "wrote $instdir\\quorvel-host.exe" "$dir/install.log" || fail "$row: the log does not name the tool"
}

# Nothing of ours is left; the folders of $@ (the hosts') are.
check_uninstalled() {
  ((status == 0)) || fail "$row: the silent uninstall exited $status"
  [[ ! -e $(unix "$instdir") ]] || fail "$row: $instdir is left: $(find "$(unix "$instdir")")"
  [[ -z $(find "$WINEPREFIX/drive_c" -iname 'Quorvel*' ! -name quorvel-uninstall.bat) ]] ||
    fail "$row: left behind: $(find "$WINEPREFIX/drive_c" -iname 'Quorvel*' ! -name quorvel-uninstall.bat)"
  ! wine_ reg query "$uninst_key" >/dev/null 2>&1 || fail "$row: the Apps & Features key is left"
  local folder
  for folder in "$@"; do
    [[ -d $(unix "$folder") ]] || fail "$row: the host's folder $folder was removed"
  done
  echo "  uninstall: ${took} ms, nothing left"
}

# --- The rows ---------------------------------------------------------------

row_hosts-one-folder() {
  make_host_folder "$default_folder"
  register_host 23.0 "$default_folder"
  # The same folder, spelled otherwise.
  register_host 24.0 "${default_folder,,}\\"
  run_installer "$installer"
  ((status == 0)) || fail "$row: the silent install exited $status"
  echo "  install: ${took} ms"
  check_installed "$default_folder"
  grep -qF "After Effects 23.0: $default_folder" "$(unix "$instdir")/install.log" &&
    grep -qiF "After Effects 24.0: $default_folder" "$(unix "$instdir")/install.log" ||
    fail "$row: the log does not name both host versions: $(cat "$(unix "$instdir")/install.log")"
  run_uninstall
  check_uninstalled "$default_folder"
}

row_custom-folders() {
  local custom='C:\Studio\Plug-ins Common'
  make_host_folder "$custom"
  make_host_folder "$default_folder"
  register_host 23.0 "$default_folder"
  register_host 24.0 "$custom\\"
  run_installer "$installer"
  ((status == 0)) || fail "$row: the silent install exited $status"
  check_installed "$default_folder" "$custom"
  run_uninstall
  check_uninstalled "$default_folder" "$custom"
}

row_no-host() {
  run_installer "$installer"
  ((status == 0)) || fail "$row: the silent install exited $status"
  check_installed "$default_folder"
  grep -q 'no host version registered' "$(unix "$instdir")/install.log" || fail "$row: the log does not say no host was found"
  run_uninstall
  # The installer made the whole of the common folder: it goes.
  [[ ! -e $WINEPREFIX/drive_c/Program\ Files/Adobe ]] || fail "$row: the folders the installer made are left"
  check_uninstalled
}

row_upgrade() {
  local old_folder='C:\Hosts\Old Common' new_folder='C:\Hosts\New Common'
  make_host_folder "$old_folder"
  make_host_folder "$new_folder"
  register_host 23.0 "$old_folder"
  run_installer "$work/old.exe"
  ((status == 0)) || fail "$row: the older version's install exited $status"
  [[ $(reg_value DisplayVersion) == 0.9.0 ]] || fail "$row: the older version is not registered"
  # The host moved its plug-in folder since.
  register_host 23.0 "$new_folder"
  run_installer "$installer"
  ((status == 0)) || fail "$row: the upgrade exited $status"
  [[ ! -e $(unix "$old_folder")/Quorvel ]] || fail "$row: the older version's module folder is left: $(find "$(unix "$old_folder")")"
  check_installed "$new_folder"
  run_uninstall
  check_uninstalled "$old_folder" "$new_folder"
}

row_downgrade() {
  run_installer "$installer"
  ((status == 0)) || fail "$row: the silent install exited $status"
  local before
  before=$(snapshot "Program Files/Adobe")
  run_installer "$work/old.exe"
  ((status != 0)) || fail "$row: an older version over a newer one exited 0"
  [[ $(snapshot "Program Files/Adobe") == "$before" ]] || fail "$row: the refused older version changed the install"
  echo "  refused with status $status"
  check_installed "$default_folder"
  run_uninstall
  check_uninstalled
}

row_repair() {
  run_installer "$installer"
  ((status == 0)) || fail "$row: the silent install exited $status"
  rm "$(unix "$default_folder")/Quorvel/VT_Quorvel.aex"
  printf 'damaged' >"$(unix "$instdir")/quorvel-host.exe"
  rm "$(unix "$instdir")/LICENSE"
  run_installer "$installer"
  ((status == 0)) || fail "$row: the repair exited $status"
  check_installed "$default_folder"
  run_uninstall
  check_uninstalled
}

row_blocked() {
  local blocked='C:\Blocked Host'
  make_host_folder "$default_folder"
  register_host 23.0 "$default_folder"
  run_installer "$installer"
  ((status == 0)) || fail "$row: the silent install exited $status"
  local before
  before=$(snapshot "Program Files/Adobe")
  # A second host version whose module folder cannot be made: a file
  # stands where it would be.
  make_host_folder "$blocked"
  : >"$(unix "$blocked")/Quorvel"
  register_host 24.0 "$blocked"
  run_installer "$installer"
  ((status != 0)) || fail "$row: an install that could not write a module exited 0"
  [[ $(snapshot "Program Files/Adobe") == "$before" ]] || fail "$row: the failed install changed the install before it"
  [[ -z $(find "$WINEPREFIX/drive_c" -name '*.quorvel-*') ]] || fail "$row: the failed install left files behind"
  echo "  failed with status $status, the install before it unchanged"
  rm "$(unix "$blocked")/Quorvel"
  wine_ reg delete "$hosts_key\\24.0" /f >/dev/null
  run_uninstall
  check_uninstalled "$default_folder" "$blocked"
}

row_in-use() {
  run_installer "$installer"
  ((status == 0)) || fail "$row: the silent install exited $status"
  local module="$default_folder\\Quorvel\\VT_Quorvel.aex" flag=$WINEPREFIX/drive_c/held before holder
  cp "$work/HoldModule.exe" "$WINEPREFIX/drive_c/HoldModule.exe"
  wine_ 'C:\HoldModule.exe' "$module" 'C:\held' &
  holder=$!
  for _ in $(seq 200); do
    [[ -e $flag ]] && break
    sleep 0.05
  done
  [[ -e $flag ]] || fail "$row: the holder did not load the module"
  before=$(snapshot "Program Files/Adobe")
  run_installer "$installer"
  ((status != 0)) || fail "$row: an install over a loaded module exited 0"
  [[ $(snapshot "Program Files/Adobe") == "$before" ]] || fail "$row: the refused install changed the install"
  echo "  install refused with status $status while the module is loaded"
  run_uninstall
  ((status != 0)) || fail "$row: an uninstall of a loaded module exited 0"
  [[ $(snapshot "Program Files/Adobe") == "$before" ]] || fail "$row: the refused uninstall changed the install"
  echo "  uninstall refused with status $status while the module is loaded"
  rm "$flag"
  wait "$holder" || fail "$row: the holder exited $?"
  run_installer "$installer"
  ((status == 0)) || fail "$row: the install once the module was let go exited $status"
  check_installed "$default_folder"
  run_uninstall
  check_uninstalled
}

row_signed() {
  local signed=$work/signed
  mkdir -p "$signed"
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$signed/key.pem" -out "$signed/cert.pem" -days 2 \
    -subj "/CN=Quorvel test signer" -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" 2>/dev/null
  (cd build-win && QUORVEL_SIGN_CERT=$signed/cert.pem QUORVEL_SIGN_KEY=$signed/key.pem cpack -B "$signed/out") \
    >"$signed/cpack.log" 2>&1 || fail "$row: the signed package failed: $(cat "$signed/cpack.log")"
  ! grep -q unsigned "$signed/cpack.log" || fail "$row: a signed release says it is unsigned"
  mkdir "$signed/zip"
  unzip -q "$signed/out/Quorvel-$version-win64.zip" -d "$signed/zip"
  (cd "$signed/zip" && sha256sum --quiet -c SHA256SUMS) || fail "$row: the signed zip's hashes do not hold"
  run_installer "$signed/out/Quorvel-$version-win64.exe"
  ((status == 0)) || fail "$row: the signed installer exited $status"
  local module
  module=$(unix "$default_folder")/Quorvel/VT_Quorvel.aex
  [[ $(sum_of "$module") == $(sum_of "$signed/zip/VT_Quorvel.aex") ]] || fail "$row: the installed module is not the signed zip's"
  local f
  for f in "$signed/zip/VT_Quorvel.aex" "$signed/zip/quorvel-host.exe" "$signed/out/Quorvel-$version-win64.exe" \
    "$(unix "$instdir")/uninstall.exe"; do
    osslsigncode verify -CAfile "$signed/cert.pem" -in "$f" >"$signed/verify.log" 2>&1 ||
      fail "$row: $(basename "$f") does not verify: $(cat "$signed/verify.log")"
    # One byte changed, in the middle of the file.
    cp "$f" "$signed/changed"
    local at=$(($(stat -c %s "$f") / 2)) byte
    byte=$(od -An -tu1 -j "$at" -N1 "$f" | tr -d ' ')
    printf "\\$(printf '%03o' $(((byte + 1) % 256)))" | dd of="$signed/changed" bs=1 seek="$at" conv=notrunc 2>/dev/null
    ! osslsigncode verify -CAfile "$signed/cert.pem" -in "$signed/changed" >/dev/null 2>&1 ||
      fail "$row: $(basename "$f") with one byte changed still verifies"
  done
  echo "  module, tool, installer and uninstaller verify; each with a byte changed fails"
  run_uninstall
  check_uninstalled
}

for row in "${rows[@]}"; do
  declare -F "row_$row" >/dev/null || fail "no row '$row' (rows: ${all_rows[*]})"
  echo "== $row"
  # A fresh prefix for each row, removed with its server when the row ends.
  (
    source scripts/wine-session.sh
    "row_$row"
  )
done
echo "installer: $(stat -c %s "$installer") bytes; ${#rows[@]} rows passed"
