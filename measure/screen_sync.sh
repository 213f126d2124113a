#!/usr/bin/env bash
# The sync a viewer sees of one build, end to end, by reading the screen: the target runs on
# a private Xvfb with its sound on a private PulseAudio, its question answered No by real
# key presses, while glimwick-measure-screen-sync polls a patch of its picture and records
# the sink's monitor. From the repository root:
#   measure/screen_sync.sh desktop|wine|chromium|chromium-vulkan|firefox [seconds]
# seconds: how long the show runs (default 40; 120 plays it whole). Built beforehand:
#   every target:  build/glimwick-measure-screen-sync (cmake --build --preset dev --target
#                  glimwick-measure-screen-sync)
#   desktop:       build/glimwick and build/libglimwick-swap-stamp.so: the swap hook in the
#                  same run (it answers the question itself), both timings side by side
#   wine:          build-windows/glimwick-windows (scripts/build-windows.sh), in the tests'
#                  Wine prefix build/wine-prefix (or $WINEPREFIX), made when missing
#   chromium, chromium-vulkan, firefox: build-web/glimwick-web-frames (scripts/build-web.sh),
#                  the tests' copy of the page, whose frame log it posts at the end;
#                  Chromium with its GPU blocklist ignored (Mesa's GL), chromium-vulkan
#                  with ANGLE on Vulkan as well (Mesa's lavapipe without a GPU)
# GLIMWICK_SCREEN_SYNC_SHOT=FILE.png: a screenshot of the whole screen halfway through.
# GLIMWICK_SCREEN_SYNC_PAGE=QUERY: more of the page's address for the browsers, e.g.
#   context=desynchronized:false (the tests' copy's other WebGL context attributes).
# The tool runs this script again as its command (--run TARGET SECONDS WORK), whose output
# is the tool's: the "patch X Y W H" line alone; everything else goes to files in WORK.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
support=$root/tests/support
usage="usage: measure/screen_sync.sh desktop|wine|chromium|chromium-vulkan|firefox [seconds]"

if [ "${1:-}" != --run ]; then
    target=${1:?$usage} seconds=${2:-40}
    tool=$root/build/glimwick-measure-screen-sync
    need() { [ -e "$root/$1" ] || { echo "screen sync: no $1 ($2)" >&2; exit 1; }; }
    need build/glimwick-measure-screen-sync "cmake --build --preset dev --target glimwick-measure-screen-sync"
    options=()
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    case $target in
    desktop)
        need build/glimwick "cmake --build --preset dev --target glimwick"
        need build/libglimwick-swap-stamp.so "cmake --build --preset dev --target glimwick-swap-stamp"
        options=(--swaps "$work/swaps") ;;
    wine) need build-windows/glimwick-windows/glimwick.exe scripts/build-windows.sh ;;
    chromium | chromium-vulkan | firefox)
        need build-web/glimwick-web-frames/index.html scripts/build-web.sh
        options=(--page-log "$work/page-log") ;;
    *) echo "$usage" >&2; exit 2 ;;
    esac
    echo "$target for $seconds s at $(git -C "$root" rev-parse --short HEAD)$(git -C "$root" diff --quiet HEAD || echo ' (with changes)'), $(nproc) cores, $(uptime | sed 's/.*load/load/')"
    "$support/with_xvfb.sh" "$support/with_pulse.sh" "$tool" "${options[@]}" "$seconds" -- \
        "$root/measure/screen_sync.sh" --run "$target" "$seconds" "$work"
    exit
fi

target=$2 seconds=$3 work=$4
err=$work/err
. "$support/e2e_lib.sh"
started=()
# Ends what this script started, by pid (and Wine's server of the prefix, by the prefix).
alive() { for p in "${started[@]}"; do kill -0 "$p" 2>/dev/null && return 0; done; return 1; }
finish() {
    for p in "${started[@]}"; do kill "$p" 2>/dev/null || true; done
    # A browser busy on a loaded machine may not heed the first signal within 10 s.
    for _ in $(seq 1 100); do alive || break; sleep 0.1; done
    for p in "${started[@]}"; do kill -9 "$p" 2>/dev/null || true; done
    [ "$target" != wine ] || wineserver -k </dev/null >/dev/null 2>&1 || true
    wait 2>/dev/null || true
}
trap finish EXIT
say() { echo "screen sync: $*" >&2; }
# The patch swap_stamp.c reads, in a 1024 x 768 picture whose top left is at X Y on the
# screen: 64 x 32 pixels in the top left of the letterboxed picture.
patch_at() { echo "patch $(($1 + 32)) $(($2 + 176)) 64 32"; }
# The screen position of window $1's top left: "X Y".
window_at() { xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF} END {print x, y}'; }
shoot_later() {
    [ -n "${GLIMWICK_SCREEN_SYNC_SHOT:-}" ] || return 0
    (sleep "$((seconds / 2))" && import -window root "$GLIMWICK_SCREEN_SYNC_SHOT") </dev/null >/dev/null 2>&1 &
}

case $target in
desktop)
    LD_PRELOAD="$root/build/libglimwick-swap-stamp.so${LD_PRELOAD:+ $LD_PRELOAD}" \
        GLIMWICK_SWAP_LOG="$work/swaps" "$root/build/glimwick" </dev/null >"$work/out" 2>"$err" &
    pid=$!
    started+=("$pid")
    wait_for 60 show_window || { say "no show window ($(cat "$err"))"; exit 1; }
    read -r x y < <(window_at "$win")
    patch_at "$x" "$y"
    shoot_later
    sleep "$seconds"
    kill -TERM "$pid" # ends as Escape does
    wait "$pid" || true
    ;;
wine)
    export WINEPREFIX=${WINEPREFIX:-$root/build/wine-prefix} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    [ -f "$WINEPREFIX/system.reg" ] || "$root/tests/windows/wine_prefix.sh" </dev/null >"$work/prefix" 2>&1
    # Wine's server outlives its first client: started with its output away from the tool's pipe.
    wineserver -p </dev/null >/dev/null 2>&1 || true
    wineboot </dev/null >/dev/null 2>&1 || true
    (cd "$work" && exec wine "$root/build-windows/glimwick-windows/glimwick.exe") </dev/null >"$work/out" 2>"$err" &
    pid=$!
    started+=("$pid")
    wait_for 60 box_shown || { say "no question box ($(cat "$err"))"; exit 1; }
    xdotool windowfocus --sync "$box" 2>/dev/null || true
    xdotool key Escape # No
    # The show's X window holds Wine's frame around the 1024 x 768 client area.
    wine_show() {
        read -r win w h < <(titled_windows | awk '{split($2, s, "x"); if (s[1] > 1024) print $1, s[1], s[2]}' | head -n 1) &&
            [ -n "${win:-}" ]
    }
    wait_for 60 wine_show || { say "no show window ($(cat "$err"))"; exit 1; }
    read -r x y < <(window_at "$win")
    border=$(((w - 1024) / 2))
    patch_at "$((x + border))" "$((y + h - border - 768))"
    shoot_later
    sleep "$seconds"
    xdotool windowfocus --sync "$win" 2>/dev/null || say "the show's window is gone"
    xdotool key Escape
    wait_for 20 exited || kill "$pid"
    ;;
chromium | chromium-vulkan | firefox)
    node "$root/measure/page_server.js" "$root/build-web/glimwick-web-frames" "$work" \
        </dev/null >"$work/port" 2>"$work/server-err" &
    started+=("$!")
    wait_for 20 test -s "$work/port" || { say "the page server did not start ($(cat "$work/server-err"))"; exit 1; }
    url="http://127.0.0.1:$(cat "$work/port")/index.html?frameLog${GLIMWICK_SCREEN_SYNC_PAGE:+&$GLIMWICK_SCREEN_SYNC_PAGE}"
    mkdir -p "$work/profile"
    if [ "$target" = firefox ]; then
        # A fresh profile with no first-run pages, no update or telemetry traffic, and WebGL
        # on the software renderer.
        printf 'user_pref("%s", %s);\n' browser.shell.checkDefaultBrowser false \
            browser.aboutwelcome.enabled false datareporting.policy.dataSubmissionEnabled false \
            toolkit.telemetry.reportingpolicy.firstRun false app.update.auto false \
            browser.startup.homepage_override.mstone '"ignore"' browser.safebrowsing.malware.enabled false \
            browser.safebrowsing.phishing.enabled false network.captive-portal-service.enabled false \
            extensions.update.enabled false webgl.force-enabled true >"$work/profile/user.js"
        firefox-esr --kiosk --no-remote --profile "$work/profile" --width 1280 --height 1024 "$url" \
            </dev/null >"$work/browser" 2>&1 &
    else
        # Mesa's software GL is on Chromium's blocklist: without the flag the page has no WebGL.
        flags=(--ignore-gpu-blocklist)
        [ "$target" = chromium-vulkan ] &&
            flags+=(--use-angle=vulkan --enable-features=Vulkan --use-vulkan=native)
        # --no-sandbox: Chromium's sandbox refuses to run as root, as in a container.
        chromium --no-sandbox --no-first-run --no-default-browser-check --password-store=basic \
            --user-data-dir="$work/profile" --kiosk --window-position=0,0 --window-size=1280,1024 \
            "${flags[@]}" "$url" </dev/null >"$work/browser" 2>&1 &
    fi
    started+=("$!")
    # The question is up once the page has fetched the show; a little more for the page to
    # compile it and draw the buttons.
    wait_for 90 grep -qs glimwick.wasm "$work/requests" || { say "the page never fetched the show ($(tail -n 3 "$work/browser"))"; exit 1; }
    browser_window() { win=$(xdotool search --onlyvisible --name Glimwick 2>/dev/null | head -n 1) && [ -n "$win" ]; }
    wait_for 60 browser_window || { say "no browser window"; exit 1; }
    read -r x y < <(window_at "$win")
    # The page fills the window; the canvas sits in its middle, 1024 x 768, the picture in
    # its middle 512 rows. Up once they average 3 % of white (the question's text alone stays
    # well below).
    picture_up() {
        local lit
        lit=$(import -window root -crop "1024x512+$((x + 128))+$((y + 256))" -format '%[fx:int(100*mean)]' info: 2>/dev/null)
        [ "${lit:-0}" -ge 3 ]
    }
    # A busy machine may draw the buttons late: the keys again until the show runs.
    for _ in 1 2 3 4 5 6; do
        xdotool windowfocus --sync "$win" 2>/dev/null || true
        xdotool key Tab Tab Return # to Yes, to No, press it
        wait_for 15 picture_up && break
    done
    patch_at "$((x + 128))" "$((y + 128))"
    shoot_later
    sleep "$seconds"
    xdotool key Escape # the canvas has the focus: the show ends and the page posts its log
    wait_for 20 test -s "$work/page-log" || say "the page posted no frame log"
    ;;
esac
# What the program said, for a run that went wrong.
[ -s "$err" ] && { say "the program's last words:"; tail -n 5 "$err" >&2; }
true
