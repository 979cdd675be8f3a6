#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while.
#   tools/fuzz.sh [SECONDS] [TARGET...]   (default: 5 seconds, every target)
# The corpus of each target is kept in build-fuzz/corpus/TARGET; crashes go to build-fuzz/artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-5}
shift || true

tools/install-deps.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQOR_BUILD_FUZZ=ON -DQOR_BUILD_TESTS=OFF >/dev/null
cmake --build build-fuzz -j2 --target fuzzers
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(find build-fuzz/fuzz -maxdepth 1 -type f -name 'fuzz_*' -perm -u+x -printf '%f\n' | sort)
fi
mkdir -p build-fuzz/artifacts
for t in "${targets[@]}"; do
  mkdir -p "build-fuzz/corpus/$t"
  seeds=()
  if [ -d "fuzz/seeds/$t" ]; then seeds=("fuzz/seeds/$t"); fi
  echo "== $t for ${seconds}s"
  log="build-fuzz/$t.log"
  if ! ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0" "build-fuzz/fuzz/$t" -max_total_time="$seconds" -rss_limit_mb=2048 \
      -artifact_prefix=build-fuzz/artifacts/ -print_final_stats=1 "build-fuzz/corpus/$t" "${seeds[@]}" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "fuzzing found a failure in $t (inputs in build-fuzz/artifacts)"
    exit 1
  fi
  grep -E 'stat::number_of_executed_units|Done [0-9]+ runs' "$log" || true
done
