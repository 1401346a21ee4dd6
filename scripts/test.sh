#!/usr/bin/env bash
# Checks the folder layering, builds with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs every test suite.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/dependencies.sh"
"$root/scripts/check-includes.sh"

cmake -S "$root" -B "$root/build-tests" -DCMAKE_BUILD_TYPE=Debug -DVANTOLIA_SANITIZE=ON \
  -DVANTOLIA_BUILD_BENCH=OFF >/dev/null
cmake --build "$root/build-tests" -j"$(nproc)"
cd "$root/build-tests"
ctest --output-on-failure -j"$(nproc)"

# Every fuzzing target for a few seconds: a short watch for inputs that crash a reader.
"$root/scripts/fuzz.sh" all 10
