#!/usr/bin/env bash
# Builds the program, makes the demo working folder the first time, and opens it there.
set -euo pipefail
raiz="$(cd "$(dirname "$0")/.." && pwd)"
"$raiz/scripts/dependencias.sh"

cmake -S "$raiz" -B "$raiz/build" -DCMAKE_BUILD_TYPE=Release -DVANTOLIA_BUILD_TESTS=OFF >/dev/null
cmake --build "$raiz/build" -j"$(nproc)"

demo="$raiz/demo"
if [ ! -e "$demo" ]; then
  catalogo="$raiz/catalogo"
  [ -f "$catalogo/Flores.csv" ] || catalogo="$raiz/tests/data"
  "$raiz/build/tools/vantolia-tablas" importar "$catalogo" "$demo"
  [ -f "$raiz/docs/ayuda/index.htm" ] && cp -r "$raiz/docs/ayuda/." "$demo/" || true
fi

cd "$demo"
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "No hay pantalla: se abre en una pantalla virtual (xvfb-run)."
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$raiz/build/src/vantolia"
fi
exec "$raiz/build/src/vantolia"
