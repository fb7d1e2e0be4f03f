#!/usr/bin/env bash
# Builds Vantor with its tests and runs every test. With SANITIZE=1 the build
# uses the address and undefined-behaviour sanitizers (in build-asan).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
if [ "${SANITIZE:-0}" = 1 ]; then
  BUILD_DIR=${BUILD_DIR:-build-asan}
  EXTRA=(-DVANTOR_SANITIZE=ON -DVANTOR_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug)
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
else
  BUILD_DIR=${BUILD_DIR:-build}
  EXTRA=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
fi
cmake -S . -B "$BUILD_DIR" "${EXTRA[@]}"
cmake --build "$BUILD_DIR" -j2
# The tests drop root for an unprivileged user; it must be able to reach the build.
chmod -R a+rX "$BUILD_DIR" 2>/dev/null || true
cd "$BUILD_DIR"
ctest -j2 --output-on-failure --timeout 300
