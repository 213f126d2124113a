#!/usr/bin/env bash
# Installs the Debian packages named as arguments that are not installed yet; nothing
# when all are present. `-f FILE` names the packages listed in FILE (scripts/packages/*.txt:
# names separated by blanks, "#" to the end of a line a comment). Works as root, or through
# sudo otherwise; says what to install when it can do neither.
set -eu
packages=()
while [ $# -gt 0 ]; do
    if [ "$1" = -f ]; then
        [ -r "${2:-}" ] || { echo "install_packages: cannot read the package list '${2:-}'" >&2; exit 1; }
        while read -r line || [ -n "$line" ]; do
            read -ra listed <<<"${line%%#*}"
            packages+=("${listed[@]}")
        done <"$2"
        shift 2
    else
        packages+=("$1")
        shift
    fi
done
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0
# The variable is set by env behind sudo: sudo resets the environment it was given.
as_root=(env DEBIAN_FRONTEND=noninteractive)
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
        echo "install_packages: not root and no sudo: as root, run apt-get install ${missing[*]}" >&2
        exit 1
    fi
    as_root=(sudo "${as_root[@]}")
fi
echo "Installing: ${missing[*]}"
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
