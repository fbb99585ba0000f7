#!/usr/bin/env bash
# Builds Quillon with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan (or
# $QUILLON_ASAN_BUILD) and runs every test there. Any report fails its test: ASan
# aborts on the first error, UBSan does not recover.
#
#   scripts/check-sanitizers.sh [ctest arguments...]     e.g. -R TestEdit
set -euo pipefail
cd "$(dirname "$0")/.."
build=${QUILLON_ASAN_BUILD:-build-asan}

scripts/install-deps.sh --test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_SANITIZE=ON -DQUILLON_BUILD_BENCH=OFF
cmake --build "$build"
export QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build" --output-on-failure -j2 "$@"
