#!/usr/bin/env bash
# Builds the project and runs its tests.
#   tools/test.sh             normal build in build/ (gcc)
#   tools/test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/ (clang;
#                             the fuzz targets of tools/fuzz.sh are built there too)
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
if [ "${1:-}" = "--sanitize" ]; then
  source tools/sanitize.sh
  dir=$sanitize_dir
  sanitize_configure
else
  dir=build
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$dir" -j2
ctest --test-dir "$dir" -j2 --output-on-failure
