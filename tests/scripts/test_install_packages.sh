#!/usr/bin/env bash
# The package installer for each kind of caller, with stand-ins for apt-get and sudo that
# only note how they were called (sudo's stand-in resets the environment as sudo does):
#   a user with neither root nor sudo: one line saying what to install as root, status 1,
#     no apt-get;
#   a user with sudo: apt-get through sudo, DEBIAN_FRONTEND=noninteractive reaching it;
#   root: apt-get directly, DEBIAN_FRONTEND reaching it.
# Run as root, the user cases run as nobody; run as a user, the root case is skipped.
set -u
. "$(dirname "$0")/../support/e2e_lib.sh"
new_work_dir bin
chmod 755 "$bin"
trap 'rm -rf "$bin"' EXIT
# A copy the unprivileged user can read wherever the checkout is (root's home, say).
installer="$bin/install_packages.sh"
cp "$(dirname "$0")/../../scripts/install_packages.sh" "$installer"
chmod 755 "$installer"
calls="$bin/calls"
install -m 666 /dev/null "$calls"
# Three PATHs with what the installer needs: plain, with apt-get, with apt-get and sudo.
mkdir -m 755 "$bin/plain" "$bin/apt" "$bin/sudo"
for tool in bash env dpkg-query grep id; do
    for dir in plain apt sudo; do ln -s "$(command -v "$tool")" "$bin/$dir/$tool"; done
done
printf '#!/bin/sh\necho "apt-get $*, DEBIAN_FRONTEND=${DEBIAN_FRONTEND:-unset}" >>%s\n' \
    "$calls" >"$bin/apt/apt-get"
printf '#!/bin/sh\necho "sudo" >>%s\nexec env -i PATH="$PATH" "$@"\n' "$calls" >"$bin/sudo/sudo"
chmod 755 "$bin/apt/apt-get" "$bin/sudo/sudo"
cp "$bin/apt/apt-get" "$bin/sudo/apt-get"

as_self() { "$@"; }
if [ "$(id -u)" -eq 0 ]; then
    as_user() { setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; }
else
    as_user() { "$@"; }
fi
missing=glimwick-no-such-package
failures=0 passes=0
# run as_user|as_self PATHDIR [ARGUMENT...]: the installer with that PATH and the arguments
# (default: the one missing package); sets out, rc and called.
run() {
    local who=$1 path=$2
    shift 2
    [ $# -gt 0 ] || set -- "$missing"
    : >"$calls"
    out=$("$who" env -u DEBIAN_FRONTEND PATH="$bin/$path" bash "$installer" "$@" 2>&1)
    rc=$?
    called=$(tr '\n' ';' <"$calls")
}
check() { # check DESCRIPTION CONDITION...
    local what=$1
    shift
    if "$@"; then
        echo "PASS: $what"
        passes=$((passes + 1))
    else
        echo "FAIL: $what (status $rc, output: $out, calls: $called)"
        failures=$((failures + 1))
    fi
}
installs="apt-get install -y -qq --no-install-recommends $missing, DEBIAN_FRONTEND=noninteractive"

run as_user plain
check "no root, no sudo: status 1" [ "$rc" -eq 1 ]
check "no root, no sudo: one line" [ "$(printf '%s\n' "$out" | wc -l)" -eq 1 ]
check "no root, no sudo: names the package and apt-get" grep -q "apt-get install $missing" <<<"$out"
check "no root, no sudo: no 'command not found'" bash -c '! grep -q "not found" <<<"$1"' _ "$out"
check "no root, no sudo: no apt-get run" [ -z "$called" ]

run as_user sudo
check "through sudo: status 0" [ "$rc" -eq 0 ]
check "through sudo: apt-get install by sudo, DEBIAN_FRONTEND kept" \
    grep -qF "sudo;$installs;" <<<"$called"

# A package list (scripts/packages/*.txt): names on lines, comments left out, beside a name
# given on the command line.
printf '# comment line\n%s-a %s-b # two for one need\n\n%s-c\n' "$missing" "$missing" "$missing" \
    >"$bin/list.txt"
chmod 644 "$bin/list.txt"
run as_user sudo -f "$bin/list.txt" "$missing-d"
check "a list: its names and the argument, no comment" grep -qF \
    "apt-get install -y -qq --no-install-recommends $missing-a $missing-b $missing-c $missing-d," <<<"$called"
run as_user sudo -f "$bin/no-such-list.txt"
check "a list that cannot be read: status 1, named" \
    bash -c '[ "$1" -eq 1 ] && grep -q "no-such-list.txt" <<<"$2"' _ "$rc" "$out"

if [ "$(id -u)" -eq 0 ]; then
    run as_self apt
    check "as root: apt-get directly, DEBIAN_FRONTEND set" \
        [ "$called" = "apt-get update -qq, DEBIAN_FRONTEND=noninteractive;$installs;" ]
else
    echo "SKIP: as root (not run as root)"
fi
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
