#!/usr/bin/env bash
# Checks what a user gets: the install tree (built into a staging folder), the desktop entry and
# metainfo against their validators, the manual pages, the installed program's start in a fresh
# home folder (empty catalogue laid out, left alone at the next start, a file from the command
# line opened), the portable layout, and the Debian package's contents and dependencies.
# Run after a build: bash scripts/check-install.sh (uses $WELARIK_BUILD_DIR, default build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${WELARIK_BUILD_DIR:-build}")
app_id=example.welarik.Welarik
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "check-install: $*" >&2
    exit 1
}

expected="usr/bin/welarik
usr/bin/welarik-avi
usr/bin/welarik-dbf
usr/share/applications/$app_id.desktop
usr/share/doc/welarik/README.md
usr/share/doc/welarik/copyright
usr/share/doc/welarik/screenshot.png
usr/share/icons/hicolor/128x128/apps/welarik.png
usr/share/icons/hicolor/16x16/apps/welarik.png
usr/share/icons/hicolor/22x22/apps/welarik.png
usr/share/icons/hicolor/24x24/apps/welarik.png
usr/share/icons/hicolor/256x256/apps/welarik.png
usr/share/icons/hicolor/32x32/apps/welarik.png
usr/share/icons/hicolor/48x48/apps/welarik.png
usr/share/icons/hicolor/64x64/apps/welarik.png
usr/share/icons/hicolor/scalable/apps/welarik.svg
usr/share/man/man1/welarik-avi.1.gz
usr/share/man/man1/welarik-dbf.1.gz
usr/share/metainfo/$app_id.metainfo.xml"

# The install tree.
stage=$work/stage
DESTDIR=$stage cmake --install "$build" --prefix /usr > /dev/null
installed=$(cd "$stage" && find . -type f -printf '%P\n' | LC_ALL=C sort)
[ "$installed" = "$(LC_ALL=C sort <<< "$expected")" ] \
    || fail "the install tree differs:"$'\n'"$(diff <(LC_ALL=C sort <<< "$expected") - <<< "$installed")"
for size in 16 22 24 32 48 64 128 256; do
    identify -format '%wx%h' "$stage/usr/share/icons/hicolor/${size}x$size/apps/welarik.png" \
        | grep -qx "${size}x$size" || fail "the ${size}x$size icon has another size"
done
desktop-file-validate "$stage/usr/share/applications/$app_id.desktop"
grep -qx 'Exec=welarik %f' "$stage/usr/share/applications/$app_id.desktop" \
    || fail "the desktop entry does not pass the file to the program"
appstreamcli validate --no-net "$stage/usr/share/metainfo/$app_id.metainfo.xml"
grep -qx 'License: GPL-3.0-or-later' "$stage/usr/share/doc/welarik/copyright" \
    || fail "the copyright file does not name the licence"
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' \
    "$stage/usr/share/doc/welarik/copyright" || fail "the copyright file is not machine-readable"
for page in welarik-dbf welarik-avi; do
    warnings=$(zcat "$stage/usr/share/man/man1/$page.1.gz" | groff -man -ww -z 2>&1)
    [ -z "$warnings" ] || fail "the manual page $page has faults: $warnings"
done
echo "install tree: $(wc -l <<< "$installed") files as expected; validators pass"

# --help and --version answer without a display.
bin=$stage/usr/bin/welarik
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin" --version | grep -qx "welarik $version" \
    || fail "--version does not answer"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin" --help | grep -q '^Usage: welarik' \
    || fail "--help does not answer"

# Starts the program for a few seconds; it counts as started when it is still running then.
start() {
    local status=0
    env -u XDG_DATA_HOME HOME="$1" QT_QPA_PLATFORM=offscreen timeout 4 "${@:2}" 2> /dev/null \
        || status=$?
    [ "$status" -eq 124 ] || fail "$2 did not keep running (exit status $status)"
}
# Starts the program on a films table and waits until it holds the table for exclusive use
# (read from /proc/locks, which takes no lock that could refuse the program's own).
opens() {
    env -u XDG_DATA_HOME HOME="$1" QT_QPA_PLATFORM=offscreen "$2" "$3" 2> /dev/null &
    local pid=$! tries=0 inode
    pids+=("$pid")
    inode=$(stat -c %i "$3")
    until grep -qE "^[0-9]+: FLOCK +ADVISORY +WRITE +$pid +[0-9a-f]+:[0-9a-f]+:$inode " /proc/locks; do
        tries=$((tries + 1))
        [ "$tries" -lt 100 ] || fail "$2 did not open $3"
        kill -0 "$pid" 2> /dev/null || fail "$2 ended before opening $3"
        sleep 0.1
    done
    kill "$pid"
    wait "$pid" 2> /dev/null || true
}
sums() { (cd "$1" && find . -type f -exec md5sum {} + | LC_ALL=C sort -k 2); }

# Installed: the first start lays out an empty catalogue in the user's data folder.
home=$work/home
mkdir -p "$home"
start "$home" "$bin"
data=$home/.local/share/welarik
for f in FILMY.DBF FILMY.DBT FILMY.MDX BAZY/CONFIG.DBF BAZY/DANEF.DBF BAZY/GATUNEKF.DBF \
    BAZY/NRFILM.DBF BAZY/ZNAJOMI.DBF; do
    [ -f "$data/$f" ] || fail "the first start did not lay out $f"
done
"$stage/usr/bin/welarik-dbf" check "$data/FILMY.DBF" > /dev/null
"$stage/usr/bin/welarik-dbf" dump "$data/BAZY/CONFIG.DBF" | grep -q '"ID_OSOBY":1}' \
    || fail "the configuration does not hold the first friend number"
before=$(sums "$data")
start "$home" "$bin"
[ "$(sums "$data")" = "$before" ] || fail "the second start changed the catalogue"
opens "$home" "$bin" "$data/FILMY.DBF"
echo "installed program: empty catalogue laid out, kept at the next start, opened from the command line"

# Portable: a BAZY folder beside the executable is used as it is, nothing goes to the home folder.
portable=$work/portable
home2=$work/home2
mkdir -p "$portable" "$home2"
"$stage/usr/bin/welarik-dbf" demo "$portable" > /dev/null
cp "$bin" "$portable/welarik"
before=$(sums "$portable")
start "$home2" "$portable/welarik"
opens "$home2" "$portable/welarik" "$portable/FILMY.DBF"
[ ! -e "$home2/.local/share/welarik" ] || fail "the portable program laid out a data folder"
[ "$(sums "$portable")" = "$before" ] || fail "the portable program changed its catalogue"
echo "portable layout: used as it is"

# The Debian package: the same files, dependencies found by shlibdeps.
rm -rf "$build/package"
(cd "$build" && cpack -G DEB > /dev/null)
deb=$build/package/welarik_${version}_amd64.deb
[ -f "$deb" ] || fail "no package $deb"
packaged=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' | LC_ALL=C sort)
[ "$packaged" = "$installed" ] \
    || fail "the package holds other files:"$'\n'"$(diff - <(echo "$packaged") <<< "$installed")"
depends=$(dpkg-deb -f "$deb" Depends)
names=$(sed 's/ *([^)]*)//g; s/, */\n/g' <<< "$depends")
for dependency in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 qt6-qpa-plugins libmediainfo0v5; do
    grep -qxF "$dependency" <<< "$names" || fail "the package lacks $dependency: $depends"
done
echo "package $(basename "$deb"): $(wc -l <<< "$packaged") files; Depends: $depends"
