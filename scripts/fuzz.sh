#!/usr/bin/env bash
# Runs the libFuzzer targets of fuzz/: scripts/fuzz.sh [TARGET|all] [SECONDS]
#   scripts/fuzz.sh                 every target for 10 seconds each
#   scripts/fuzz.sh csvreader 3600  one target for an hour
# Builds with clang in build-fuzz/ (AddressSanitizer and UndefinedBehaviorSanitizer too). New
# inputs found are kept in build-fuzz/corpus/TARGET, next to the seeds of fuzz/corpus/TARGET;
# a crash leaves its input in build-fuzz/crashes/TARGET/ and makes the script fail.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
target="${1:-all}"
seconds="${2:-10}"
build="$root/build-fuzz"

"$root/scripts/dependencies.sh"
# clang and its fuzzer runtime, from Debian 12's packages.
if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Instalando: clang libclang-rt-14-dev"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends clang libclang-rt-14-dev
fi

if [ "$target" = all ]; then
  targets=()
  for f in "$root"/fuzz/*.cpp; do targets+=("$(basename "$f" .cpp)"); done
else
  [ -f "$root/fuzz/$target.cpp" ] || { echo "No existe el objetivo fuzz/$target.cpp" >&2; exit 2; }
  targets=("$target")
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOLIA_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DVANTOLIA_BUILD_TESTS=OFF -DVANTOLIA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen
status=0
for t in "${targets[@]}"; do
  mkdir -p "$build/corpus/$t" "$build/crashes/$t"
  dict=()
  [ -f "$root/fuzz/$t.dict" ] && dict=("-dict=$root/fuzz/$t.dict")
  echo "== fuzz_$t: $seconds s"
  if ! "$build/fuzz/fuzz_$t" "$build/corpus/$t" "$root/fuzz/corpus/$t" "${dict[@]}" \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -max_len=65536 \
      -artifact_prefix="$build/crashes/$t/" -print_final_stats=1 2>"$build/fuzz_$t.log"; then
    echo "fuzz_$t encontró un fallo: ver $build/fuzz_$t.log y $build/crashes/$t/" >&2
    tail -n 40 "$build/fuzz_$t.log" >&2
    status=1
  else
    grep -E "^stat::number_of_executed_units|^stat::new_units_added" "$build/fuzz_$t.log" || true
  fi
done
exit $status
