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
# run as_user|as_self PATHDIR: the installer with that PATH; sets out, rc and called.
run() {
    : >"$calls"
    out=$("$1" env -u DEBIAN_FRONTEND PATH="$bin/$2" bash "$installer" "$missing" 2>&1)
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

if [ "$(id -u)" -eq 0 ]; then
    run as_self apt
    check "as root: apt-get directly, DEBIAN_FRONTEND set" \
        [ "$called" = "apt-get update -qq, DEBIAN_FRONTEND=noninteractive;$installs;" ]
else
    echo "SKIP: as root (not run as root)"
fi
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
