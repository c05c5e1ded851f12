#!/usr/bin/env bash
# Makes the desktop icon of the package from the station's logo (the same drawing as the window
# icon, from make-artwork.py): packaging/icons/zarnik-station.svg and a PNG per hicolor size.
# Run it again after changing the logo and commit the results.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
icons="$root/packaging/icons"
mkdir -p "$icons"

python3 - "$root/scripts/make-artwork.py" "$icons/zarnik-station.svg" <<'PY'
import importlib.util, sys
loader_source = importlib.util.spec_from_file_location("artwork", sys.argv[1])
artwork = importlib.util.module_from_spec(loader_source)
loader_source.loader.exec_module(artwork)
with open(sys.argv[2], "w", encoding="utf-8") as f:
    f.write(artwork.logo_svg())
PY

# rsvg-convert (Debian package librsvg2-bin) draws small sizes more sharply than a scaled JPEG.
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" -o "$icons/zarnik-station-$size.png" "$icons/zarnik-station.svg"
done
