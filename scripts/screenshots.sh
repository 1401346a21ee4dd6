#!/usr/bin/env bash
# Makes the pictures of the help (docs/ayuda/img) again from the real window: builds the picture
# program, makes a fresh demo working folder from the starter catalogue, runs the program there
# without a screen, and writes the pictures as small palette PNGs. Run it whenever the window
# changes, look at the pictures, and commit them.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/dependencies.sh"

cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release -DVANTOLIA_BUILD_TESTS=ON >/dev/null
cmake --build "$root/build" --target vantolia-screenshots vantolia-tablas -j"$(nproc)"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# The demo folder sits one level down, so that the companion application's patient file that one
# scene makes beside it stays inside the temporary folder.
"$root/build/tools/vantolia-tablas" importar "$root/startercatalogue" "$work/demo" >/dev/null

# As the window tests run it: no screen, the fonts the setup installs, a fixed locale.
(
  cd "$work/demo"
  QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 "$root/build/tests/vantolia-screenshots" "$work/img" \
    2> >(grep -v -e 'This plugin does not support' -e 'XDG_RUNTIME_DIR' >&2)
)

out="$root/docs/ayuda/img"
mkdir -p "$out"
rm -f "$out"/*.png
for picture in "$work/img"/*.png; do
  # A window holds few colours: 256 without dithering keep the text sharp at a third of the size.
  convert "$picture" -background white -alpha remove -strip +dither -colors 256 \
    -define png:compression-level=9 "PNG8:$out/$(basename "$picture")"
done
echo "Imágenes de la ayuda escritas en $out:"
ls -l "$out"
