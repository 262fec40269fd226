#!/usr/bin/env bash
# Checks the Windows module's shape against what the hosts require: a PE32+
# DLL for x86-64 whose only export is EntryPointFunc, importing nothing but
# Windows' own DLLs, whose one resource is "PIPL" 16000 in US English (1033)
# holding, byte for byte, the descriptor of the Linux build's ".pipl" section.
# The resource is taken out twice: by binutils alone, and by quorvel-host.
#   scripts/check-windows-module.sh [LINUX_BUILD_DIR] [WINDOWS_BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
linux=${1:-build}
windows=${2:-build-win}
module=$windows/VT_Quorvel.aex
objdump=x86_64-w64-mingw32-objdump

fail() {
  echo "check-windows-module: $*" >&2
  exit 1
}
[[ -f $module ]] || fail "no $module (build it: cmake --preset windows && cmake --build --preset windows)"
[[ -x $linux/quorvel-host ]] || fail "no $linux/quorvel-host (build it: scripts/build.sh)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$objdump" -p "$module" >"$work/headers"
"$objdump" -h "$module" >"$work/sections"

# A PE32+ DLL for x86-64.
grep -q 'file format pei-x86-64' "$work/headers" || fail "not an x86-64 PE image"
grep -qE '^Magic[[:space:]]+020b' "$work/headers" || fail "not a PE32+ image"
grep -qE '^[[:space:]]+DLL$' "$work/headers" || fail "not a DLL"
echo "module:    $module: PE32+ DLL, x86-64"

# Exports: the name table holds EntryPointFunc and nothing else.
exports=$(awk '/^\[Ordinal\/Name Pointer\] Table/ {on = 1; next} on && NF == 0 {on = 0} on {print $NF}' \
  "$work/headers")
[[ $exports == "EntryPointFunc" ]] || fail "exports are: ${exports:-none}"
grep -qE '^[[:space:]]*Export Address Table[[:space:]]+0*1$' "$work/headers" || fail "more than one exported address"
echo "exports:   $exports"

# Imports: Windows' own DLLs only; none of the compiler's runtime DLLs.
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' "$work/headers")
[[ -n $imports ]] || fail "no import table"
while read -r dll; do
  case "${dll,,}" in
    kernel32.dll | msvcrt.dll | ntdll.dll | user32.dll | advapi32.dll | api-ms-win-*) ;;
    *) fail "imports $dll, which is not a Windows system DLL" ;;
  esac
done <<<"$imports"
echo "imports:   $(echo $imports)"

# Resources: one type "PIPL", one name 16000 (0x3e80), one language 0x409.
resources=$(sed -n '/Resource Directory section:/,$p' "$work/headers")
[[ $(grep -c 'Leaf:' <<<"$resources") == 1 ]] || fail "not exactly one resource"
grep -qE 'Entry: name: .*: PIPL, Value' <<<"$resources" || fail "the resource's type is not \"PIPL\""
grep -qE 'Entry: ID: 0x003e80,' <<<"$resources" || fail "the resource's id is not 16000"
grep -qE 'Entry: ID: 0x000409,' <<<"$resources" || fail "the resource's language is not 1033"
leaf=$(grep -oE 'Leaf: Addr: 0x[0-9a-f]+, Size: 0x[0-9a-f]+' <<<"$resources")
rva=$((16#$(sed -E 's/.*Addr: 0x([0-9a-f]+),.*/\1/' <<<"$leaf")))
size=$((16#$(sed -E 's/.*Size: 0x([0-9a-f]+)/\1/' <<<"$leaf")))

# The resource's bytes by binutils: its RVA within .rsrc, .rsrc's place in the file.
image_base=$((16#$(awk '$1 == "ImageBase" {print $2}' "$work/headers")))
read -r rsrc_vma rsrc_offset < <(awk '$2 == ".rsrc" {print $4, $6}' "$work/sections")
offset=$((16#$rsrc_offset + rva - (16#$rsrc_vma - image_base)))
dd if="$module" of="$work/windows-binutils.pipl" bs=4096 iflag=skip_bytes,count_bytes skip="$offset" count="$size" \
  status=none

# The Linux module's section.
objcopy -O binary --only-section=.pipl "$linux/VT_Quorvel.aex" "$work/linux.pipl"
[[ -s $work/linux.pipl ]] || fail "$linux/VT_Quorvel.aex has no .pipl section"
cmp "$work/linux.pipl" "$work/windows-binutils.pipl" || fail "resource (read by binutils) differs from the Linux descriptor"

# The same by the simulated host's PE reader, which also decodes and checks it.
"$linux/quorvel-host" inspect "$module" --descriptor-out "$work/windows-host.pipl" >"$work/inspect" ||
  fail "quorvel-host inspect refuses the module"
grep -q '^  type "PIPL"  id 16000  language 1033  ' "$work/inspect" || fail "quorvel-host lists: $(cat "$work/inspect")"
cmp "$work/linux.pipl" "$work/windows-host.pipl" || fail "resource (read by quorvel-host) differs from the Linux descriptor"
echo "resource:  \"PIPL\" 16000, language 1033, $size bytes, identical to $linux/VT_Quorvel.aex's .pipl"
