#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while.
#   tools/fuzz.sh [SECONDS] [TARGET...]   (default: 5 seconds, every target)
# They are built in the sanitizer build of tools/test.sh --sanitize (build-asan/), so after that
# command nothing is compiled again. The corpus of each target is kept in build-asan/corpus/TARGET;
# crashes go to build-asan/artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-5}
shift || true

tools/install-deps.sh
source tools/sanitize.sh
sanitize_configure
out=$sanitize_dir
cmake --build "$out" -j2 --target fuzzers
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(find "$out/fuzz" -maxdepth 1 -type f -name 'fuzz_*' -perm -u+x -printf '%f\n' | sort)
fi
mkdir -p "$out/artifacts"
for t in "${targets[@]}"; do
  mkdir -p "$out/corpus/$t"
  seeds=()
  if [ -d "fuzz/seeds/$t" ]; then seeds=("fuzz/seeds/$t"); fi
  echo "== $t for ${seconds}s"
  log="$out/$t.log"
  if ! ASAN_OPTIONS=detect_leaks=1 "$out/fuzz/$t" -max_total_time="$seconds" -rss_limit_mb=2048 \
      -artifact_prefix="$out/artifacts/" -print_final_stats=1 "$out/corpus/$t" "${seeds[@]}" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "fuzzing found a failure in $t (inputs in $out/artifacts)"
    exit 1
  fi
  grep -E 'stat::number_of_executed_units|Done [0-9]+ runs' "$log" || true
done
