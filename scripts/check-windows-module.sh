#!/usr/bin/env bash
# Checks the Windows module's shape against what the hosts require: a PE32+
# DLL for x86-64 whose only export is EntryPointFunc, importing nothing but
# Windows' own DLLs, with two resources: "PIPL" 16000 in US English (1033)
# holding, byte for byte, the descriptor of the Linux build's ".pipl" section
# (taken out twice: by binutils alone, and by quorvel-host), and the version
# (VERSIONINFO, type 16, id 1, 1033) whose numbers are those the descriptor
# reports to the hosts.
#   scripts/check-windows-module.sh [LINUX_BUILD_DIR] [WINDOWS_BUILD_DIR|MODULE]
set -euo pipefail
cd "$(dirname "$0")/.."
linux=${1:-build}
windows=${2:-build-win}
module=$windows/VT_Quorvel.aex
[[ -f $windows ]] && module=$windows
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

# Resources: type "PIPL" name 16000 (0x3e80), and type 16 (version) name 1,
# each in language 0x409 and nothing else. objdump lists each type's name,
# language and leaf after it.
resources=$(sed -n '/Resource Directory section:/,$p' "$work/headers")
[[ $(grep -c 'Leaf:' <<<"$resources") == 2 ]] || fail "not exactly two resources (the descriptor and the version)"
# The leaf under a type entry, with the name and language on the way to it.
leaf_of() {
  awk -v type="$1" '
    /^[0-9a-f]+   Entry: / { on = ($0 ~ ": " type ", Value" || $0 ~ "ID: " type ","); path = ""; next }
    on && /Entry: ID: / { path = path " " $4 }
    on && /Leaf:/ { print path "|" $0; exit }' <<<"$resources"
}
pipl=$(leaf_of PIPL)
[[ $pipl == " 0x003e80, 0x000409,|"* ]] || fail "no \"PIPL\" resource 16000 in language 1033 (found: ${pipl:-none})"
version=$(leaf_of 0x000010)
[[ $version == " 0x000001, 0x000409,|"* ]] || fail "no version resource 1 in language 1033 (found: ${version:-none})"
leaf=$(grep -oE 'Leaf: Addr: 0x[0-9a-f]+, Size: 0x[0-9a-f]+' <<<"$pipl")
rva=$((16#$(sed -E 's/.*Addr: 0x([0-9a-f]+),.*/\1/' <<<"$leaf")))
size=$((16#$(sed -E 's/.*Size: 0x([0-9a-f]+)/\1/' <<<"$leaf")))

# The resource's bytes by binutils: its RVA within .rsrc, .rsrc's place in the file.
image_base=$((16#$(awk '$1 == "ImageBase" {print $2}' "$work/headers")))
read -r rsrc_vma rsrc_offset < <(awk '$2 == ".rsrc" {print $4, $6}' "$work/sections")
# Copies a resource's bytes by its RVA and size.
resource_bytes() {
  dd if="$module" of="$3" bs=4096 iflag=skip_bytes,count_bytes skip="$((16#$rsrc_offset + $1 - (16#$rsrc_vma - image_base)))" \
    count="$2" status=none
}
resource_bytes "$rva" "$size" "$work/windows-binutils.pipl"

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

# The version: VS_FIXEDFILEINFO (its signature 0xFEEF04BD, then the structure
# version, then the file version's high and low words) against the 'eVER' the
# descriptor reports to the hosts, packed as major, minor, fix, stage, build.
leaf=$(grep -oE 'Leaf: Addr: 0x[0-9a-f]+, Size: 0x[0-9a-f]+' <<<"$version")
resource_bytes "$((16#$(sed -E 's/.*Addr: 0x([0-9a-f]+),.*/\1/' <<<"$leaf")))" \
  "$((16#$(sed -E 's/.*Size: 0x([0-9a-f]+)/\1/' <<<"$leaf")))" "$work/version.res"
words=$(od -An -v -tx4 -w4 "$work/version.res" | tr -d ' ')
fixed=$(grep -n '^feef04bd$' <<<"$words" | head -1 | cut -d: -f1)
[[ -n $fixed ]] || fail "the version resource holds no VS_FIXEDFILEINFO"
file_ms=$((16#$(sed -n "$((fixed + 2))p" <<<"$words")))
file_ls=$((16#$(sed -n "$((fixed + 3))p" <<<"$words")))
file_version="$((file_ms >> 16)).$((file_ms & 0xffff)).$((file_ls >> 16)).$((file_ls & 0xffff))"
ever=$(sed -nE "s/.*'eVER'.* 0x([0-9A-Fa-f]{8}).*/\1/p" "$work/inspect")
[[ -n $ever ]] || fail "quorvel-host inspect shows no 'eVER'"
ever=$((16#$ever))
reported="$(((ever >> 19) & 7)).$(((ever >> 15) & 15)).$(((ever >> 11) & 15)).$((ever & 511))"
[[ $file_version == "$reported" ]] || fail "the version resource says $file_version, the descriptor $reported"
strings=$(iconv -f UTF-16LE -t UTF-8 "$work/version.res" 2>/dev/null | tr '\0' '\n' || true)
for value in ProductName Quorvel FileVersion ProductVersion "$file_version" FileDescription; do
  grep -qF "$value" <<<"$strings" || fail "the version resource's strings lack '$value'"
done
echo "version:   $file_version, as the descriptor reports it to the hosts"
