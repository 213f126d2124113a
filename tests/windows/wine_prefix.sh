#!/usr/bin/env bash
# Makes the private Wine prefix the Windows tests run in ($WINEPREFIX, inside the build
# tree) on first use, and sets Wine's X11 driver to unmanaged windows: with no window
# manager on the test display, managed windows stall two seconds on destruction.
set -eu
: "${WINEPREFIX:?}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono or Gecko installer
# Wine's server outlives the command that starts it: its output must not hold ctest's pipe.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
fi
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wineserver -w
grep -q '"Managed"="N"' "$WINEPREFIX/user.reg" || { echo "wine_prefix: registry not set" >&2; exit 1; }
echo "Wine prefix ready: $WINEPREFIX"
