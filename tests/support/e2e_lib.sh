# Shared by the end-to-end scripts (sourced): verdicts and finding the show's windows.
# Uses $pid (the show's process) and sets $box (the question) and $win (the window).
title="V o r n i c >> Glimwick"
failures=0 passes=0

pass() { echo "PASS: $*"; passes=$((passes + 1)); }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Ids of top-level windows carrying the title, with their sizes: "ID WxH".
titled_windows() {
    xwininfo -root -tree 2>/dev/null | grep -F "\"$title\"" |
        sed -E 's/^ *(0x[0-9a-f]+) .*: \(.*\) *([0-9]+x[0-9]+)\+.*/\1 \2/'
}

wait_for() { # wait_for SECONDS COMMAND...: polls every 0.1 s
    local tries=$(($1 * 10))
    shift
    for _ in $(seq 1 "$tries"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

# SDL's question box is found by its title (xdotool cannot find it by name).
box_shown() { box=$(titled_windows | head -n 1 | cut -d' ' -f1); [ -n "$box" ]; }
show_window() { win=$(titled_windows | awk '$2 == "1024x768" {print $1}' | head -n 1); [ -n "$win" ]; }
exited() { ! kill -0 "$pid" 2>/dev/null; }
