#!/usr/bin/env bash
# Builds qorfax and runs it on the default profile ($QORFAX_HOME, else ~/.qorfax).
#   tools/run.sh [ARGS...]   (default: info)
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target qorfax qorfaxd
if [ $# -eq 0 ]; then set -- info; fi
exec build/apps/qorfax/qorfax "$@"
