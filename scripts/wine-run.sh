#!/usr/bin/env bash
# Runs a Windows program under Wine, headless and quiet: the cross build's
# CMAKE_CROSSCOMPILING_EMULATOR, so ctest and test discovery use it.
# Uses $WINEPREFIX when set (scripts/test-windows.sh makes a temporary one).
set -euo pipefail
export WINEDEBUG="${WINEDEBUG:--all}"
# No window system: Wine must not try to open one.
unset DISPLAY WAYLAND_DISPLAY
if [[ -x /usr/lib/wine/wine64 ]]; then
  exec /usr/lib/wine/wine64 "$@"
fi
exec wine64 "$@"
