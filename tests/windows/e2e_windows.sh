#!/usr/bin/env bash
# The Windows build under Wine on Xvfb, run as a user would: from another working
# directory, the question answered by real key presses, Escape to end it.
#   shell: the question box, a 1024 x 768 client area, frames presented, Escape (status 0),
#          a missing data file (its message in a box, answered; status 1)
#   show:  a screenshot at 60 s with the white model and its red, green and blue copies
# Args: MODE FOLDER PROBE, where FOLDER is build-windows/glimwick-windows and PROBE
# window_probe.exe; $WINEPREFIX is the prefix wine_prefix.sh made. Screenshots go to
# $GLIMWICK_SCREENSHOT_DIR (default: ./e2e-windows).
set -u
# Only a prefix of the tests' own: without one Wine boots the user's ~/.wine, and the
# `wineserver -k` on the way out would end the user's own Wine programs.
case "${WINEPREFIX:-}" in
"" | "$HOME/.wine" | "$HOME/.wine/")
    echo "e2e_windows: set WINEPREFIX to the tests' own prefix (tests/windows/wine_prefix.sh makes one), not '${WINEPREFIX:-}'" >&2
    exit 1
    ;;
esac
mode=$1 folder=$(readlink -f "$2") probe_exe=$(readlink -f "$3")
shots=${GLIMWICK_SCREENSHOT_DIR:-$PWD/e2e-windows}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
. "$(dirname "$0")/../support/e2e_lib.sh"
new_work_dir work
err="$work/err" # read by the shared helpers
[ -x "$folder/glimwick.exe" ] || { echo "no $folder/glimwick.exe: run scripts/build-windows.sh"; exit 1; }
# Started here with their output elsewhere, so that no later wine process hands its
# server ctest's pipe (ctest would wait for the server to end).
wineserver -p >/dev/null 2>&1
wineboot >/dev/null 2>&1
trap 'wineserver -k >/dev/null 2>&1; rm -rf "$work"' EXIT
mkdir -p "$work/elsewhere" "$shots"

# What Windows itself says about the windows with the show's title ("window CLASS WxH",
# "text CONTROL-TEXT" lines; see window_probe.c).
probe() { wine "$probe_exe" "$title" 2>/dev/null | tr -d '\r'; }
box_says() { probe | grep -qxF "text $1"; }
box_mentions() { probe | grep -q "^text .*$1"; }
show_open() { probe | grep -q '^window [^#]'; } # a window that is not a dialog box
client_size() { probe | sed -n 's/^window [^#][^ ]* //p' | head -n 1; }

# answer KEY: the box (the only titled X window then) focused, and a real key press.
answer() {
    box_shown || return 1
    xdotool windowfocus --sync "$box" 2>/dev/null
    xdotool key "$1"
}

# start APP: runs APP/glimwick.exe from another working directory.
start() {
    (cd "$work/elsewhere" && exec wine "$1/glimwick.exe" >"$work/out" 2>"$work/err") &
    pid=$!
    if ! wait_for 30 box_says "Fullscreen?"; then
        fail "no question box asking Fullscreen?"
        return 1
    fi
    pass "question box asks Fullscreen?"
}

# The show's client area as an image: the X window less Wine's frame and caption.
shoot_client() { # shoot_client FILE
    local geometry w h border
    geometry=$(titled_windows | head -n 1 | cut -d' ' -f2)
    w=${geometry%x*} h=${geometry#*x} border=$(((w - 1024) / 2))
    import -window "$win" "$work/whole.png" 2>/dev/null &&
        convert "$work/whole.png" -crop "1024x768+$border+$((h - border - 768))" +repage "$1"
}

# share FILE EXPR: percentage (rounded) of the picture rows' pixels where EXPR holds.
share() {
    convert "$1" -crop 1024x508+0+130 +repage -fx "($2) ? 1 : 0" -format "%[fx:int(100*mean+0.5)]" info:
}

# Opens the show answered No and finds its window; false if either step failed.
open_show() {
    start "$1" || return 1
    answer Escape
    if ! wait_for 30 show_open; then
        fail "no show window after answering No ($(cat "$work/err"))"
        return 1
    fi
    win=$(titled_windows | head -n 1 | cut -d' ' -f1)
    local size
    size=$(client_size)
    [ "$size" = 1024x768 ] && pass "client area 1024 x 768" || fail "client area $size"
}

app=$folder
if [ "$mode" = shell ]; then
    label="Escape"
    if open_show "$app"; then
        shoot_client "$work/a.png"
        sleep 1
        shoot_client "$work/b.png"
        lit=$(convert "$work/b.png" -crop 1024x508+0+130 -format "%[fx:int(255*maxima+0.5)]" info:)
        changed=$(compare -metric AE "$work/a.png" "$work/b.png" null: 2>&1)
        [ "$lit" -gt 30 ] && [ "${changed%%.*}" -gt 1000 ] && pass "frames presented" ||
            fail "frames: brightest $lit, $changed pixels changed in 1 s"
        xdotool windowfocus --sync "$win" 2>/dev/null
        xdotool key Escape
        ends_with 10 0
    fi

    # The same failure that prints one line on Linux, shown in a box with the same text.
    label="missing music file"
    mkdir -p "$work/nomusic/data"
    cp "$folder/glimwick.exe" "$work/nomusic/"
    cp "$folder/data/texture_text.png" "$work/nomusic/data/"
    if start "$work/nomusic"; then
        answer Escape
        if wait_for 30 box_mentions "tarnwhistle.ogg"; then
            said=$(probe | grep -m 1 "tarnwhistle.ogg" | sed 's/^text //')
            pass "$label: a message box says '$said'"
            tr -d '\r' <"$work/err" | grep -qxF "glimwick: $said" && pass "$label: the same line on stderr" ||
                fail "$label: stderr says '$(cat "$work/err")'"
            show_open && fail "$label: the show window stayed beside the box"
            answer Return
            ends_with 10 1
        else
            fail "$label: no message box ($(cat "$work/err"))"
        fi
    fi
elif [ "$mode" = show ]; then
    label="60 s"
    if open_show "$app"; then
        start_s=$(date +%s)
        shot="$shots/windows-60s.png"
        # The picture follows the music clock, which a loaded machine may hold back behind
        # the wall clock into the flash of the cut at 49.5 s (100 frames, longer when frames
        # are slow): shots every 2 s from 60 s until one shows the model copies clearly.
        copies=""
        for at in 60 62 64 66 68 70; do
            wait_s=$((at - ($(date +%s) - start_s)))
            [ "$wait_s" -gt 0 ] && sleep "$wait_s"
            exited && break
            shoot_client "$shot" || continue
            # The white model and its three coloured copies, each a visible share of the picture.
            white=$(share "$shot" "r>0.85 && g>0.85 && b>0.85")
            red=$(share "$shot" "r>0.5 && g<0.25 && b<0.25")
            green=$(share "$shot" "g>0.5 && r<0.25 && b<0.25")
            blue=$(share "$shot" "b>0.5 && r<0.25 && g<0.25")
            copies="white $white%, red $red%, green $green%, blue $blue% at $at s"
            [ "$white" -ge 2 ] && [ "$red" -ge 2 ] && [ "$green" -ge 1 ] && [ "$blue" -ge 1 ] && break
            copies="$copies (not all)"
        done
        if exited; then
            fail "the run ended before 70 s ($(cat "$work/err"))"
        elif [ -z "$copies" ]; then
            fail "cannot take a screenshot"
        else
            pass "screenshot in $shot"
            bars=$(convert "$shot" \( -clone 0 -crop 1024x126+0+0 \) \( -clone 0 -crop 1024x125+0+643 \) \
                -delete 0 -append -format "%[fx:int(255*maxima+0.5)]" info:)
            [ "$bars" -le 2 ] && pass "letterbox bars black" || fail "bars not black (max $bars)"
            [[ "$copies" != *"(not all)" ]] && pass "model copies: $copies" || fail "model copies: $copies"
        fi
        xdotool windowfocus --sync "$win" 2>/dev/null
        xdotool key Escape
        label="Escape after the screenshot"
        ends_with 10 0
    fi
else
    echo "unknown mode $mode"
    exit 2
fi

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ] && [ "$passes" -gt 0 ]
