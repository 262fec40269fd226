# Sourced by the scripts that run Windows programs under Wine: a throw-away
# prefix and one server for the whole run, removed when the script exits
# (together with any paths in wine_session_cleanup_paths).
export WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them, and Wine would offer to install them.
export WINEDLLOVERRIDES="mscoree,mshtml="
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-wine.XXXXXX")
export WINEPREFIX
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
wine_session_cleanup_paths=()
wine_session_cleanup() {
  "$wineserver" -k 2>/dev/null || true
  rm -rf "$WINEPREFIX" "${wine_session_cleanup_paths[@]}"
}
trap wine_session_cleanup EXIT
# One server for the whole run, its services started once: each program
# then starts in a fraction of a second.
"$wineserver" -p
# A new prefix's first start says much that is harmless (no 32-bit Wine, for
# one); shown only if it fails.
scripts/wine-run.sh wineboot -i >"$WINEPREFIX/wineboot.log" 2>&1 || {
  cat "$WINEPREFIX/wineboot.log" >&2
  exit 1
}
