#!/usr/bin/env bash
# Builds the program, makes the demo working folder the first time, and opens it there.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/dependencies.sh"

cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release -DVANTOLIA_BUILD_TESTS=OFF >/dev/null
cmake --build "$root/build" -j"$(nproc)"

demo="$root/demo"
if [ ! -e "$demo" ]; then
  "$root/build/tools/vantolia-tablas" importar "$root/startercatalogue" "$demo"
fi
# The help lives in the working folder: its pages, stylesheet and pictures. A demo folder made
# before the help existed gets it as well.
if [ -f "$root/docs/ayuda/index.htm" ] && [ ! -f "$demo/index.htm" ]; then
  cp -R "$root/docs/ayuda/." "$demo/"
fi

cd "$demo"
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "No hay pantalla: se abre en una pantalla virtual (xvfb-run)."
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$root/build/src/vantolia"
fi
exec "$root/build/src/vantolia"
