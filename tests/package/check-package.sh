#!/usr/bin/env bash
# Builds the Debian package from a build tree into a scratch folder, unpacks it with dpkg -x and
# checks what an operator gets: programs, desktop entry, metainfo, icons, man pages, dependencies.
# Usage: check-package.sh BUILD_DIR
set -uo pipefail
build="$1"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

(cd "$build" && cpack -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1) || { cat "$scratch/cpack.log"; exit 1; }
deb="$(ls "$scratch"/out/zarnik-station_*_amd64.deb 2>/dev/null | head -1)"
[ -n "$deb" ] || { echo "FAIL: no zarnik-station_<version>_amd64.deb"; exit 1; }
root="$scratch/root"
dpkg -x "$deb" "$root"

version="$(dpkg-deb -f "$deb" Version)"
[ "$(basename "$deb")" = "zarnik-station_${version}_amd64.deb" ] || fail "file name $(basename "$deb") does not carry version $version"
# Without any display: the version comes from the same place as the package's.
shown="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/zarnik-station" --version)" \
  || fail "zarnik-station --version failed without a display"
[ "$shown" = "zarnik-station $version" ] || fail "--version prints '$shown', the package is $version"

for file in usr/bin/zarnik-station usr/bin/zarnik-sim \
  usr/share/applications/zarnik-station.desktop usr/share/metainfo/ru.zarnik.station.metainfo.xml \
  usr/share/icons/hicolor/scalable/apps/zarnik-station.svg \
  usr/bin/zarnik-log usr/bin/zarnik-cli usr/lib/x86_64-linux-gnu/wireshark/plugins/zarnik.lua \
  usr/share/man/man1/zarnik-station.1.gz usr/share/man/man1/zarnik-sim.1.gz \
  usr/share/man/man1/zarnik-log.1.gz usr/share/man/man1/zarnik-cli.1.gz \
  usr/share/doc/zarnik-station/copyright usr/share/doc/zarnik-station/changelog.gz; do
  [ -s "$root/$file" ] || fail "missing $file"
done
for size in 16 22 24 32 48 64 128 256; do
  icon="$root/usr/share/icons/hicolor/${size}x${size}/apps/zarnik-station.png"
  measured="$(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print("%dx%d" % struct.unpack(">II", d[16:24]) if d[:8]==b"\x89PNG\r\n\x1a\n" else "not a PNG")' "$icon" 2>/dev/null)"
  [ "$measured" = "${size}x${size}" ] || fail "icon ${size}x${size} is $measured"
done

desktop="$root/usr/share/applications/zarnik-station.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
grep -q '^Name\[ru\]=' "$desktop" || fail "desktop entry has no Russian name"
grep -q '^Exec=zarnik-station$' "$desktop" || fail "desktop entry does not start zarnik-station"
appstreamcli validate --no-net "$root/usr/share/metainfo/ru.zarnik.station.metainfo.xml" >"$scratch/as.log" 2>&1 \
  || { cat "$scratch/as.log"; fail "appstreamcli validate"; }
grep -q "version=\"$version\"" "$root/usr/share/metainfo/ru.zarnik.station.metainfo.xml" || fail "metainfo misses release $version"

for page in zarnik-station zarnik-sim zarnik-log zarnik-cli; do
  warnings="$(zcat "$root/usr/share/man/man1/$page.1.gz" | groff -man -Tutf8 -ww -z 2>&1)"
  [ -z "$warnings" ] || fail "man page $page: $warnings"
done

depends="$(dpkg-deb -f "$deb" Depends)"
for library in libqt5widgets5 libspeex1 libqt5multimedia5-plugins; do
  [[ "$depends" == *"$library"* ]] || fail "Depends lacks $library: $depends"
done

if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb" >"$scratch/lintian.log" 2>&1 || { cat "$scratch/lintian.log"; fail "lintian reports errors"; }
fi

[ "$failures" -eq 0 ] && echo "package $(basename "$deb") checked"
exit $((failures > 0))
