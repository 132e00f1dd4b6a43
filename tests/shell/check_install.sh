#!/usr/bin/env bash
# Installs the build into a staging folder as a package would, checks the
# desktop entry and the AppStream metainfo with the desktop's own validators,
# and builds the Debian package. Arguments: build folder, 1 when the program
# (appshuttle) is built.
set -euo pipefail
build="$1"
program_built="${2:-0}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

id=org.appshuttle.AppShuttle
DESTDIR="$work/stage" cmake --install "$build" --prefix /usr > "$work/install.log"
usr="$work/stage/usr"
desktop="$usr/share/applications/$id.desktop"
metainfo="$usr/share/metainfo/$id.metainfo.xml"
[ -f "$desktop" ] || fail "no desktop entry installed"
[ -f "$metainfo" ] || fail "no metainfo installed"

desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net --pedantic "$metainfo" || fail "appstreamcli validate"

# The entry starts what the install put in place, under the name it installs.
exec_name="$(sed -n '/^Exec=/{s/^Exec=\([^ ]*\).*/\1/p;q}' "$desktop")"
if [ "$program_built" = 1 ]; then
  [ -x "$usr/bin/$exec_name" ] || fail "Exec=$exec_name is not installed"
else
  echo "note: the program $exec_name is not built yet; its install rule waits for it"
fi
[ -x "$usr/bin/appshuttle-cli" ] || fail "appshuttle-cli is not installed"

icon="$(sed -n '/^Icon=/{s/^Icon=//p;q}' "$desktop")"
[ "$icon" = "$id" ] || fail "Icon=$icon is not the application id"
if [ -f "$(dirname "$0")/../../src/resources/svg/appshuttle.svg" ]; then
  [ -f "$usr/share/icons/hicolor/scalable/apps/$id.svg" ] || fail "no scalable icon"
  for size in 16 24 32 48 64 128 256; do
    png="$usr/share/icons/hicolor/${size}x${size}/apps/$id.png"
    [ -f "$png" ] || fail "no ${size}px icon"
    # Width and height from the PNG header (big-endian words at byte 16 and 20).
    read -r w3 w2 w1 w0 h3 h2 h1 h0 < <(od -An -tu1 -j16 -N8 "$png")
    [ $(( (w1 << 8) | w0 )) = "$size" ] && [ $(( (h1 << 8) | h0 )) = "$size" ] || fail "the ${size}px icon has another size"
  done
else
  echo "note: no application icon source yet (src/resources/svg/appshuttle.svg)"
fi

# The Debian package: what it installs and what it needs at run time.
(cd "$build" && cpack -G DEB -B "$work/package" > "$work/cpack.log") || { cat "$work/cpack.log" >&2; fail "cpack"; }
deb="$(ls "$work"/package/*.deb)"
depends="$(dpkg-deb -f "$deb" Depends)"
for needed in usbmuxd qt6-qpa-plugins libqt6core6 libimobiledevice; do
  grep -q "$needed" <<< "$depends" || fail "the package does not depend on $needed: $depends"
done
# The listing is read whole first: grep -q ending the pipe early would fail it.
contents="$(dpkg-deb -c "$deb")"
grep -q "usr/share/applications/$id.desktop" <<< "$contents" || fail "the package lacks the desktop entry"
grep -q "usr/share/metainfo/$id.metainfo.xml" <<< "$contents" || fail "the package lacks the metainfo"
echo "install and package checked: $(basename "$deb")"
