#!/usr/bin/env bash
# Builds the Debian package quarl_VERSION_ARCH.deb into build/package/ with CPack and checks
# its file list and its dependencies.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$here/scripts/deps.sh"
"$here/scripts/build.sh"
out="$here/build/package"
rm -rf "$out"
mkdir -p "$out"
(cd "$here/build" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) || { cat "$out/cpack.log"; exit 1; }
deb="$(ls "$out"/quarl_*.deb)"
files="$(dpkg-deb -c "$deb" | awk '{print $6}')"
missing=0
for f in ./usr/bin/quarl ./usr/bin/quarlctl ./usr/share/applications/quarl.desktop \
         ./usr/share/quarl/skins/Dark.skn ./usr/share/quarl/codemasters/ports.tsv; do
  grep -qx "$f" <<<"$files" || { echo "package lacks $f"; missing=1; }
done
for size in 16 22 24 32 48 64 128 256; do
  grep -qx "./usr/share/icons/hicolor/${size}x${size}/apps/quarl.png" <<<"$files" \
    || { echo "package lacks the ${size}x${size} icon"; missing=1; }
done
if grep -q "/tst_\|/bench_" <<<"$files"; then echo "package holds test programs"; missing=1; fi
depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libqt6widgets6 libqt6sql6 libssl3 libqt6sql6-sqlite qt6-qpa-plugins; do
  grep -q "$lib" <<<"$depends" || { echo "package does not depend on $lib: $depends"; missing=1; }
done
[ "$missing" -eq 0 ] || exit 1
echo "$deb"
