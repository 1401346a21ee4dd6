#!/usr/bin/env bash
# Builds with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test suite.
set -euo pipefail
raiz="$(cd "$(dirname "$0")/.." && pwd)"
"$raiz/scripts/dependencias.sh"

cmake -S "$raiz" -B "$raiz/build-pruebas" -DCMAKE_BUILD_TYPE=Debug -DVANTOLIA_SANITIZE=ON \
  -DVANTOLIA_BUILD_BENCH=OFF >/dev/null
cmake --build "$raiz/build-pruebas" -j"$(nproc)"
cd "$raiz/build-pruebas"
ctest --output-on-failure -j"$(nproc)"
