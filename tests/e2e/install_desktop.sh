#!/usr/bin/env bash
# Installed as a desktop program: cmake --install into a temporary prefix gives a valid desktop
# entry and AppStream file, the entry's icon at every size, both executables, the help page and
# the man page, and the rv40 tables' library, which the installed converter finds in the prefix
# and writes rv40 with; the installed program, run by an unprivileged user with a file from "Open
# with", keeps its settings and log under $XDG_CONFIG_HOME/quenlar/ and nothing beside itself.
# $1: the build's output folder (its parent is the build folder).
set -euo pipefail
out=${1:?output folder}
build=$(cd "$out/.." && pwd)
work=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
source "$(dirname "$0")/await_exit.bash"
chmod 755 "$work"  # the unprivileged user must reach the prefix, not write it

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" > "$work/install.log" || fail "install: $(cat "$work/install.log")"
id=org.example.quenlar.Quenlar
desktop="$prefix/share/applications/$id.desktop"
desktop-file-validate "$desktop" || fail "desktop entry invalid"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" > "$work/as.log" ||
  fail "AppStream metadata invalid: $(cat "$work/as.log")"
grep -qx 'Exec=Quenlar %F' "$desktop" || fail "Exec line: $(grep Exec "$desktop")"
icon=$(sed -n 's/^Icon=//p' "$desktop")
for size in 16 32 48 64 128 256; do
  png="$prefix/share/icons/hicolor/${size}x${size}/apps/$icon.png"
  [ -f "$png" ] || fail "no icon $png"
  [ "$(identify -format '%wx%h' "$png")" = "${size}x${size}" ] || fail "$png is not ${size}x${size}"
done
[ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon"
for file in bin/Quenlar bin/quenlar-convert share/quenlar/Quenlar.htm share/man/man1/quenlar-convert.1; do
  [ -f "$prefix/$file" ] || fail "not installed: $file"
done
tables=$(find "$prefix" -name libquenlar_rv40_tables.so)
[ -n "$tables" ] || fail "the rv40 tables' library is not installed"
for exe in Quenlar quenlar-convert; do
  found=$(ldd "$prefix/bin/$exe" | sed -n 's/.*libquenlar_rv40_tables.so => \([^ ]*\).*/\1/p')
  [ "$found" -ef "$tables" ] || fail "$exe finds the rv40 tables at '$found', not in the prefix"
done
mkdir "$work/convert"
ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=176x144:rate=25 -t 1 -target pal-vcd "$work/convert/clip.mpg"
"$prefix/bin/quenlar-convert" --quiet --no-inhibit --video rv40 "$work/convert/clip.mpg" > "$work/convert.log" 2>&1 ||
  fail "the installed converter: $(cat "$work/convert.log")"
[ "$(ffprobe -v error -select_streams v -show_entries stream=codec_name -of csv=p=0 "$work/convert/clip.rm")" = rv40 ] ||
  fail "the installed converter wrote no rv40"

# An unprivileged user: the installed program's folder is not theirs to write.
uid=$(id -u nobody)
gid=$(id -g nobody)
mkdir -p "$work/home" "$work/config" "$work/media"
chown "$uid:$gid" "$work/home" "$work/config"
touch "$work/media/clip.mpg"
chmod -R a+rX "$work/media"
xauth_copy=
if [ -n "${XAUTHORITY:-}" ] && [ -f "$XAUTHORITY" ]; then
  xauth_copy="$work/Xauthority"
  cp "$XAUTHORITY" "$xauth_copy"
  chmod 644 "$xauth_copy"
fi
setpriv --reuid="$uid" --regid="$gid" --clear-groups \
  env HOME="$work/home" XDG_CONFIG_HOME="$work/config" ${xauth_copy:+XAUTHORITY="$xauth_copy"} \
  "$prefix/bin/Quenlar" "$work/media/clip.mpg" &
pid=$!
win=$(timeout 20 xdotool search --sync --onlyvisible --pid "$pid" --name '^Quenlar$' | head -n 1) || true
[ -n "$win" ] || fail "no main window of the installed program"
xdotool windowfocus --sync "$win"
xdotool key Escape
await_clean_exit Escape

ini="$work/config/quenlar/Quenlar.ini"
[ -f "$ini" ] || fail "no settings in \$XDG_CONFIG_HOME/quenlar: $(find "$work/config" "$work/home")"
[ -f "$work/config/quenlar/Quenlar.inf" ] || fail "no log in \$XDG_CONFIG_HOME/quenlar"
[ "$(stat -c %u "$ini")" = "$uid" ] || fail "settings not written by the user"
tr -d '\r' < "$ini" | grep -qxF "0=$work/media/clip.mpg" || fail "the file from the command line was not queued: $(cat "$ini")"
extra=$(find "$prefix" -name 'Quenlar.in?')
[ -z "$extra" ] || fail "written beside the installed program: $extra"
echo "installed: entry, metadata, icons ($icon) valid; rv40 tables found in the prefix; settings of an unprivileged user in \$XDG_CONFIG_HOME/quenlar"
