#!/bin/sh
# Installing under a prefix gives the program with its history and manual,
# a working bin/kalvex link, and a desktop entry that opens JPEG and BMP photos.
set -eu
cmake=$1
build=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" >/dev/null
fail() { echo "install: $*" >&2; exit 1; }
for f in lib/kalvex/kalvex lib/kalvex/history.txt "lib/kalvex/Manual/操作マニュアル.pdf" \
         share/applications/kalvex.desktop share/icons/hicolor/scalable/apps/kalvex.svg; do
  [ -s "$prefix/$f" ] || fail "missing $f"
done
[ -L "$prefix/bin/kalvex" ] || fail "bin/kalvex is not a link"
[ "$(readlink -f "$prefix/bin/kalvex")" = "$(readlink -f "$prefix/lib/kalvex/kalvex")" ] || fail "bin/kalvex points elsewhere"
entry=$prefix/share/applications/kalvex.desktop
for line in "Exec=\"$prefix/bin/kalvex\" %f" "Icon=kalvex" "MimeType=image/jpeg;image/bmp;" "Name=Kalvex" \
            "Name[ja]=Kalvex 写真計測" "Type=Application"; do
  grep -qxF "$line" "$entry" || fail "desktop entry lacks: $line"
done
QT_QPA_PLATFORM=offscreen "$prefix/bin/kalvex" --help >/dev/null || fail "the installed program does not start"
