#!/usr/bin/env bash
# Zips a folder so that the same files give the same bytes on any machine, any day:
#   scripts/zip-folder.sh PARENT NAME     PARENT/NAME/ -> PARENT/NAME.zip
# Files in byte order of their paths, no directory entries or extra fields (owners, Unix
# times), permissions 644/755, and every time stamp SOURCE_DATE_EPOCH read in UTC, since
# zip stores local time. Without SOURCE_DATE_EPOCH: the time of the checkout's commit, or,
# in a source archive or where git is not installed, the time of CMakeLists.txt (which git
# archive sets to the commit's).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
parent=$1 name=$2
epoch=${SOURCE_DATE_EPOCH:-}
if [ -z "$epoch" ] && [ "$(git -C "$root" rev-parse --show-toplevel 2>/dev/null)" = "$root" ]; then
    epoch=$(git -C "$root" log -1 --format=%ct)
fi
[ -n "$epoch" ] || epoch=$(stat -c %Y "$root/CMakeLists.txt")
cd "$parent"
rm -f "$name.zip"
chmod -R u=rwX,go=rX "$name"
find "$name" -exec touch -h -d "@$epoch" {} +
find "$name" -type f | LC_ALL=C sort | TZ=UTC zip -q -X -D "$name.zip" -@
touch -d "@$epoch" "$name.zip"
