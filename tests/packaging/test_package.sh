#!/usr/bin/env bash
# The Debian package and the installed show: the .deb's name, control fields and file list
# (nothing more, nothing less), lintian without errors, then an install into a staging
# prefix run as a user would: from /, under the test's Xvfb, the question answered, frames,
# Escape -> status 0; and the installed capture tool writing frames, from / and from a
# folder with a data/ of its own.
# Args: BUILD_DIR SOURCE_DIR
set -u
build=$(readlink -f "$1") source=$(readlink -f "$2")
. "$source/tests/support/e2e_lib.sh"
new_work_dir work
err="$work/err"
trap 'kill_children; rm -rf "$work"' EXIT
# The release label (1.0.0, or 1.0.0+gCOMMIT off a tag) names the package and is its Version.
version=$(sed -n 's/^GLIMWICK_RELEASE:INTERNAL=//p' "$build/CMakeCache.txt")

# The package.
if ! cpack -G DEB -B "$work/deb" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1; then
    fail "cpack: $(tail -n 5 "$work/cpack.log")"
    exit 1
fi
deb="$work/deb/glimwick_${version}_amd64.deb"
[ -f "$deb" ] && pass "package named $(basename "$deb")" || {
    fail "no $deb among: $(ls "$work/deb")"
    exit 1
}

field() { dpkg-deb -f "$deb" "$1"; }
expect_field() { # expect_field NAME EXTENDED-REGEX
    local value
    value=$(field "$1")
    [[ $value =~ $2 ]] && pass "$1: $value" || fail "$1 is '$value', wanted /$2/"
}
expect_field Package '^glimwick$'
expect_field Version "^$(sed 's/[.+]/\\&/g' <<<"$version")$"
expect_field Architecture '^amd64$'
expect_field Section '^games$'
expect_field Priority '^optional$'
expect_field Recommends '^ffmpeg, xfonts-base$'
# From dpkg-shlibdeps: the packages of the libraries the programs link (GL through GLVND);
# and those SDL opens at run time (libGL for the window, libEGL for the capture tool).
depends=$(field Depends)
missing=""
for package in libsdl2-2.0-0 libglew2.2 libvorbisfile3 libpulse0 libpng16-16 libglx0 libopengl0 \
    libstdc++6 libc6 libgl1 libegl1; do
    [[ ", $depends," == *", $package "[\(,]* || ", $depends," == *", $package,"* ]] ||
        missing+=" $package"
done
[ -z "$missing" ] && pass "Depends: $depends" || fail "Depends lacks$missing: $depends"
[[ $(field Depends) != *ffmpeg* ]] && pass "ffmpeg is no Depends" || fail "ffmpeg in Depends"

# Exactly these files (directories aside).
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's,^\./,/,' | sort >"$work/files"
{
    printf '%s\n' /usr/games/glimwick /usr/bin/glimwick-capture \
        /usr/share/glimwick/tarnwhistle.ogg /usr/share/glimwick/texture_text.png \
        /usr/share/applications/glimwick.desktop \
        /usr/share/metainfo/org.glimwick.Glimwick.metainfo.xml \
        /usr/share/man/man6/glimwick.6.gz /usr/share/man/man1/glimwick-capture.1.gz \
        /usr/share/doc/glimwick/copyright /usr/share/doc/glimwick/changelog.gz
    for size in 16 22 24 32 48 64 128 256; do
        echo "/usr/share/icons/hicolor/${size}x${size}/apps/glimwick.png"
    done
} | sort >"$work/wanted"
if diff -u "$work/wanted" "$work/files" >"$work/files.diff"; then
    pass "the package holds the $(wc -l <"$work/wanted") files it should"
else
    fail "package contents differ (- wanted, + found):"
    grep '^[-+]/' "$work/files.diff"
fi
# Each icon is the size its folder says.
dpkg-deb -x "$deb" "$work/root"
for size in 16 22 24 32 48 64 128 256; do
    got=$(identify -format '%wx%h' "$work/root/usr/share/icons/hicolor/${size}x${size}/apps/glimwick.png")
    [ "$got" = "${size}x${size}" ] || fail "icon ${size}x${size} is $got"
done
grep -qx 'Exec=glimwick' "$work/root/usr/share/applications/glimwick.desktop" &&
    grep -qx 'Icon=glimwick' "$work/root/usr/share/applications/glimwick.desktop" &&
    pass "desktop entry runs glimwick with its icon" || fail "desktop entry's Exec or Icon"
# The manual page's FILES names the show where the package puts it.
zcat "$work/root/usr/share/man/man6/glimwick.6.gz" | grep -q '^\.IR* /usr/games/glimwick\b' &&
    pass "manual page names /usr/games/glimwick" ||
    fail "manual page's FILES: $(zcat "$work/root/usr/share/man/man6/glimwick.6.gz" | grep -oE '/usr/[a-z]+/glimwick$' | sort -u | tr '\n' ' ')"
# The AppStream metadata as a software centre finds it: in the installed tree, beside the
# desktop entry and icon it names.
appstreamcli validate-tree --no-net "$work/root" >"$work/appstream" 2>&1 &&
    pass "appstreamcli validate-tree: the metadata is valid in place" ||
    fail "appstreamcli validate-tree: $(grep -E '^[EW]:' "$work/appstream")"
grep -qx 'License: Expat' "$work/root/usr/share/doc/glimwick/copyright" &&
    pass "copyright names the MIT (Expat) licence" || fail "copyright names no licence"
cmp -s "$work/root/usr/share/glimwick/tarnwhistle.ogg" "$source/data/tarnwhistle.ogg" &&
    pass "the music installed as committed" || fail "installed music differs from data/"

# No errors, and no warning beyond the one known: the capture tool is in /usr/bin on purpose
# (a command-line tool, not a demo) in a package of section games.
known_warnings="package-section-games-but-has-usr-bin"
lintian --fail-on error "$deb" >"$work/lintian" 2>&1 && pass "lintian: no errors" || {
    fail "lintian:"
    grep '^E:' "$work/lintian"
}
warnings=$(awk '/^W:/ {print $3}' "$work/lintian" | sort -u | tr '\n' ' ')
[ "$warnings" = "$known_warnings " ] && pass "lintian warns only of: $warnings" ||
    fail "lintian warnings '$warnings', known: '$known_warnings'"

# An installed show from a staging prefix, started from / (no data/ there or beside it).
stage="$work/stage"
cmake --install "$build" --prefix "$stage" >"$work/install.log" 2>&1 || fail "cmake --install"
# Started as its menu entry starts it: the entry's command, by name, with the prefix's bin/
# on PATH (~/.local/bin for a user's own install).
label="installed show"
command=$(sed -n 's/^Exec=//p' "$stage/share/applications/glimwick.desktop")
found=$(PATH="$stage/bin:/usr/bin:/bin" command -v "$command")
[ "$found" = "$stage/bin/glimwick" ] && pass "$label: '$command' found in the prefix's bin/" ||
    fail "$label: '$command' not found with the prefix's bin/ on PATH (installed: $(cd "$stage" && find . -name glimwick -type f))"
(cd / && PATH="$stage/bin:$PATH" exec "$command" >"$work/out" 2>"$err") &
pid=$!
if [ -n "$found" ] && answer_question Escape; then
    if wait_for 30 show_window; then
        pass "$label: window shown"
        # A picture: some pixel is not black (the data was found, or start-up had failed).
        shows() { import -window "$win" -resize 64x48 txt:- 2>/dev/null | grep -v '^#' |
            grep -qv -E '#000000|black'; }
        wait_for 20 shows && pass "$label: frames presented" || fail "$label: window stayed black"
        xdotool windowfocus --sync "$win" 2>/dev/null
        xdotool key --window "$win" Escape
        ends_with 10 0
    else
        fail "$label: no window ($(cat "$err"))"
    fi
fi

# The installed capture tool names the package's release.
got=$("$stage/bin/glimwick-capture" --version 2>&1)
[ "$got" = "glimwick-capture $version" ] && pass "capture --version: $got" ||
    fail "capture --version says '$got', the package is $version"

# The installed capture tool, from /: 0.1 s at 60 fps, 6 PNG frames.
if (cd / && "$stage/bin/glimwick-capture" --from 1 --to 1.1 --out "$work/frames" \
    >/dev/null 2>"$work/capture.err"); then
    count=$(find "$work/frames" -name '*.png' | wc -l)
    [ "$count" -eq 6 ] && pass "installed capture wrote 6 frames" ||
        fail "installed capture wrote $count frames, wanted 6"
else
    fail "installed capture: $(tail -n 1 "$work/capture.err")"
fi

# Started from a folder that holds another data/ (a downloads folder, an unpacked archive),
# the installed capture tool reads its own files: those here would not decode.
mkdir -p "$work/downloads/data"
head -c 2000 /dev/urandom >"$work/downloads/data/tarnwhistle.ogg"
head -c 300 "$source/data/texture_text.png" >"$work/downloads/data/texture_text.png"
if (cd "$work/downloads" && "$stage/bin/glimwick-capture" --from 1 --to 1.1 \
    --out "$work/frames-downloads" >/dev/null 2>"$work/capture.err"); then
    pass "installed capture ignores the working directory's data/"
else
    fail "installed capture from a folder with a data/: $(tail -n 1 "$work/capture.err")"
fi

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
