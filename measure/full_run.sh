#!/usr/bin/env bash
# One whole run of the real show, measured: answers the question No, samples the
# resident memory once a second, takes screenshots with ImageMagick's import, keeps
# the output and any core file. Needs a display (run it under tests/support/with_xvfb.sh).
# Usage: full_run.sh GLIMWICK OUT_DIR [SHOT_SECONDS...]   (default shots: 2 60 112)
# Writes OUT_DIR/{stdout,stderr,rss.tsv,summary} and prints the summary line:
#   status, seconds, peak RSS, highest RSS in the first and in the last minute (KiB),
#   the most open file descriptors, threads and memory mappings seen, and the core files
#   left.
set -u
exe=$(readlink -f "$1") out=$(mkdir -p "$2" && readlink -f "$2")
shift 2
shots=("$@")
[ ${#shots[@]} -gt 0 ] || shots=(2 60 112)
. "$(dirname "$0")/../tests/support/e2e_lib.sh"

ulimit -c unlimited # a core, if any, lands in OUT_DIR (the show's working directory)
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# GLIMWICK_RUN_PRELOAD: libraries preloaded into the show alone (not the tools around it).
(cd "$out" && exec env ${GLIMWICK_RUN_PRELOAD:+LD_PRELOAD="$GLIMWICK_RUN_PRELOAD"} "$exe" \
    >"$out/stdout" 2>"$out/stderr") &
pid=$!
echo "$pid" >"$out/pid"
wait_for 20 box_shown || { echo "full_run: no question box" | tee "$out/summary"; kill "$pid"; exit 1; }
xdotool key --window "$box" Escape # No: windowed
wait_for 30 show_window || { echo "full_run: no window" | tee "$out/summary"; kill "$pid"; exit 1; }
start=$(now_ms)

# Sampler, once a second while the process lives: elapsed seconds, VmRSS and VmHWM (KiB),
# open file descriptors, threads, memory mappings. A slow leak of any of these ends a long
# run in an abort far from its cause (the JIT that compiles the software renderer's shaders
# aborts when it cannot map memory), so they are watched as closely as the memory.
(
    while kill -0 "$pid" 2>/dev/null; do
        rss=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status" 2>/dev/null)
        hwm=$(awk '/^VmHWM/ {print $2}' "/proc/$pid/status" 2>/dev/null)
        threads=$(awk '/^Threads/ {print $2}' "/proc/$pid/status" 2>/dev/null)
        fds=$(find "/proc/$pid/fd" -mindepth 1 -maxdepth 1 2>/dev/null | wc -l)
        maps=$(wc -l <"/proc/$pid/maps" 2>/dev/null)
        [ -n "$rss" ] && echo "$((($(now_ms) - start) / 1000)) $rss $hwm $fds $threads ${maps:-0}"
        sleep 1
    done
) >"$out/rss.tsv" &
sampler=$!

for s in "${shots[@]}"; do
    wait_ms=$((s * 1000 - ($(now_ms) - start)))
    [ "$wait_ms" -gt 0 ] && sleep "$((wait_ms / 1000)).$(printf %03d $((wait_ms % 1000)))"
    exited && break
    # import waits for ever on a window that goes away under it (a show failing at start).
    timeout 20 import -window "$win" "$out/shot-${s}s.png" 2>>"$out/import.log"
done
wait "$pid"
status=$?
seconds=$((($(now_ms) - start) / 1000))
wait "$sampler"
peak=$(awk '{ if ($3 > m) m = $3 } END { print m + 0 }' "$out/rss.tsv")
first=$(awk '$1 >= 5 && $1 < 65 { if ($2 > m) m = $2 } END { print m + 0 }' "$out/rss.tsv")
last=$(awk -v e="$seconds" '$1 >= e - 62 && $1 < e - 2 { if ($2 > m) m = $2 } END { print m + 0 }' "$out/rss.tsv")
fds=$(awk '{ if ($4 > m) m = $4 } END { print m + 0 }' "$out/rss.tsv")
threads=$(awk '{ if ($5 > m) m = $5 } END { print m + 0 }' "$out/rss.tsv")
maps=$(awk '{ if ($6 > m) m = $6 } END { print m + 0 }' "$out/rss.tsv")
cores=$(find "$out" -maxdepth 1 -name 'core*' | wc -l)
echo "status=$status seconds=$seconds peak_kib=$peak first_minute_max_kib=$first" \
    "last_minute_max_kib=$last max_fds=$fds max_threads=$threads max_maps=$maps cores=$cores" |
    tee "$out/summary"
