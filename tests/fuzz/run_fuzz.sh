#!/usr/bin/env bash
# Runs a libFuzzer target for a bounded time on a scratch copy of its seed corpus, so new
# inputs and crash files never land in the source tree. Every seed (the regression cases
# among them) is replayed first. Usage: run_fuzz.sh FUZZER SEED_DIR SECONDS [OUT_DIR]
# With OUT_DIR the grown corpus and any crash input are kept there.
set -eu
fuzzer=$1 seeds=$2 seconds=$3
work=${4:-}
if [ -z "$work" ]; then
    . "$(dirname "$0")/../support/e2e_lib.sh"
    new_work_dir work
    trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work/corpus"
# Large images are legitimate (up to 8192 x 8192 RGBA is 256 MiB), so the memory limit
# sits above that; a single input may take at most 10 s.
# Not exec'd: the scratch copy is removed on the way out.
status=0
"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 \
    -print_final_stats=1 -artifact_prefix="$work/" "$work/corpus" "$seeds" || status=$?
exit "$status"
