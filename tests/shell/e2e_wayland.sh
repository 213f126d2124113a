#!/usr/bin/env bash
# The show with no X display: natively on Wayland, under Weston drawing through its X11
# back-end into the test's Xvfb (so that the screen can be photographed and real keys
# typed), and on SDL's offscreen EGL driver. Args: GLIMWICK WMCLOSE TESTDATA.
# Screenshots go to $GLIMWICK_SCREENSHOT_DIR (default: ./e2e-wayland).
set -u
exe=$(readlink -f "$1") testdata=$3
shots=${GLIMWICK_SCREENSHOT_DIR:-$PWD/e2e-wayland}
. "$(dirname "$0")/../support/e2e_lib.sh"
new_work_dir work
err="$work/err" # read by the shared helpers
pid="" weston=""
trap 'kill $pid $weston 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$shots"
"$testdata" "$work/show" 30 || { echo "cannot write test data"; exit 1; }

# Weston on this X display; its clients see only the Wayland socket.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
socket=glimwick-test
weston --backend=x11-backend.so --socket=$socket --width=1280 --height=960 --use-pixman \
    --idle-time=0 >"$work/weston.log" 2>&1 &
weston=$!
compositor_window() {
    screen=$(xwininfo -root -tree 2>/dev/null | awk '/"Weston Compositor/ {print $1; exit}')
    [ -n "$screen" ]
}
if ! wait_for 20 test -S "$XDG_RUNTIME_DIR/$socket" || ! wait_for 10 compositor_window; then
    fail "Weston did not start: $(tail -n 3 "$work/weston.log")"
    echo "$passes passed, $failures failed"
    exit 1
fi

# The compositor's screen below its panel (whose clock may tick between two shots).
shoot() { import -window "$screen" -crop 1280x900+0+60 +repage "$1" 2>/dev/null; }

label="Wayland"
(cd "$work/show" && exec env -u DISPLAY WAYLAND_DISPLAY=$socket SDL_VIDEODRIVER=wayland \
    "$exe" >"$work/out" 2>"$work/err") &
pid=$!
sleep 3
if exited; then
    wait "$pid"
    fail "$label: stopped at once with status $? ($(cat "$work/err"))"
else
    # Frames presented: two shots half a second apart differ (polled: a busy machine may
    # take a while for the first frames).
    shoot "$work/a.png"
    changes() {
        sleep 0.5
        shoot "$work/b.png"
        changed=$(compare -metric AE "$work/a.png" "$work/b.png" null: 2>&1)
        mv "$work/b.png" "$work/a.png"
        [ "${changed%%.*}" -gt 1000 ]
    }
    wait_for 5 changes && pass "$label: frames presented" || fail "$label: last change $changed pixels"
    # Nothing else below Weston's 32-pixel panel is pure black: the letterbox bars (at the
    # window's top and bottom) span the whole window.
    sized() {
        import -window "$screen" "$shots/wayland.png" 2>/dev/null
        read -r bars x y < <(convert "$shots/wayland.png" -crop 1280x928+0+32 +repage \
            -fill white +opaque black -trim -format "%wx%h %[fx:page.x] %[fx:page.y]" info:)
        [ "$bars" = 1024x768 ]
    }
    wait_for 2 sized && pass "$label: 1024 x 768 window" || fail "$label: black area $bars"
    # A click on the window gives it the keyboard, as a user would, then a real Escape.
    xdotool windowfocus --sync "$screen" 2>/dev/null
    xdotool mousemove --window "$screen" $((x + 512)) $((y + 32 + 384)) click 1
    xdotool key Escape
    ends_with 10 0
fi

# No display of any kind: SDL's offscreen driver still gives an EGL context to draw in.
label="offscreen"
(cd "$work/show" && exec env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=offscreen \
    "$exe" >"$work/out" 2>"$work/err") &
pid=$!
sleep 3
if exited; then
    wait "$pid"
    fail "$label: stopped at once with status $? ($(cat "$work/err"))"
else
    pass "$label: running after 3 s"
    kill -TERM "$pid"
    ends_with 5 0
    # The question cannot be asked there (and the show says so); nothing else is said.
    other=$(grep -v "cannot show the start-up question" "$work/err")
    [ -n "$other" ] && fail "$label: said '$other'" || pass "$label: no error on stderr"
fi

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
