#!/usr/bin/env bash
# Installs the dependencies, builds the test configuration (AddressSanitizer +
# UndefinedBehaviorSanitizer), runs the whole suite with ctest, then the cluster
# recipe on a real one-node Slurm (tools/slurm-check.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DLUMENSTACK_SANITIZE=ON \
      -DLUMENSTACK_BENCH=OFF -DCMAKE_CXX_FLAGS="-O1"
cmake --build build-test -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd build-test && ctest --output-on-failure -j"$(nproc)"
# The cluster recipe (examples/cluster/) on a one-node Slurm that the check
# starts on localhost and stops again: about a minute.
cd .. && bash tools/slurm-check.sh build-test/lumenstack-tool
