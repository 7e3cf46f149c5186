#!/usr/bin/env bash
# Installs the dependencies, builds Release and runs the demo batch headless.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DLUMENSTACK_TESTS=OFF
cmake --build build-release -j"$(nproc)"
out="$PWD/demo-output"
mkdir -p "$out"
cd "$out"
"$OLDPWD/build-release/lumenstack" -platform offscreen -e -b "$OLDPWD/examples/demo.bat" -x
echo "Demo finished; outputs are in $out"
