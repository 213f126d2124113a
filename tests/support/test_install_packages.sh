#!/usr/bin/env bash
# The package installer run by someone who is neither root nor able to use sudo: one line
# saying what to install as root, status 1, and no apt-get attempted.
set -u
bin=$(mktemp -d)
chmod 755 "$bin"
trap 'rm -rf "$bin"' EXIT
# A copy the unprivileged user can read wherever the checkout is (root's home, say).
installer="$bin/install_packages.sh"
cp "$(dirname "$0")/../../scripts/install_packages.sh" "$installer"
chmod 755 "$installer"
# A PATH with what the installer needs but neither sudo nor apt-get.
for tool in bash env dpkg-query grep id; do ln -s "$(command -v "$tool")" "$bin/$tool"; done
missing=glimwick-no-such-package
out=$(setpriv --reuid=65534 --regid=65534 --clear-groups env PATH="$bin" \
    bash "$installer" "$missing" 2>&1)
rc=$?
failures=0
check() { # check DESCRIPTION CONDITION...
    local what=$1
    shift
    if "$@"; then echo "PASS: $what"; else echo "FAIL: $what (status $rc, output: $out)"; failures=$((failures + 1)); fi
}
check "status 1" [ "$rc" -eq 1 ]
check "one line" [ "$(printf '%s\n' "$out" | wc -l)" -eq 1 ]
check "names the package and apt-get" grep -q "apt-get install $missing" <<<"$out"
check "no 'command not found'" bash -c '! grep -q "not found" <<<"$1"' _ "$out"
echo "$((4 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
