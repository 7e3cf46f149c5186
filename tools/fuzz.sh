#!/usr/bin/env bash
# Runs one fuzz target with clang's libFuzzer for a number of seconds.
#
#   bash tools/fuzz.sh TARGET SECONDS [libFuzzer options...]
#
# TARGET is one of: tiff img textimage spectrum errpoints config batch emp h5stack
# merge options.
# The targets are built in build-fuzz (clang, AddressSanitizer,
# UndefinedBehaviorSanitizer, libFuzzer coverage). The run starts from a
# working corpus build-fuzz/corpus/TARGET seeded with the committed regression
# corpus tests/fuzz/corpus/TARGET; inputs that crash, time out or exhaust
# memory land in build-fuzz/findings/TARGET/. The campaign goes on after a
# finding (fork mode), so one run collects all it meets. Copy a finding into
# tests/fuzz/corpus/TARGET/ once it is mended, and the test suite replays it.
set -euo pipefail
cd "$(dirname "$0")/.."

targets="tiff img textimage spectrum errpoints config batch emp h5stack merge options"
if [ $# -lt 2 ] || ! [[ " $targets " == *" $1 "* ]] || ! [[ $2 =~ ^[0-9]+$ ]]; then
    echo "usage: bash tools/fuzz.sh TARGET SECONDS [libFuzzer options...]" >&2
    echo "targets: $targets" >&2
    exit 2
fi
target=$1
seconds=$2
shift 2

have_libfuzzer() {
    command -v clang++ >/dev/null 2>&1 &&
        echo 'extern "C" int LLVMFuzzerTestOneInput(const char *, long) { return 0; }' |
            clang++ -x c++ -fsanitize=fuzzer -o /dev/null - >/dev/null 2>&1
}

if ! have_libfuzzer; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update
    $sudo apt-get install -y --no-install-recommends clang libfuzzer-14-dev ||
        $sudo apt-get install -y --no-install-recommends clang libfuzzer-dev
fi
bash tools/install-deps.sh

build=build-fuzz
if [ ! -f "$build/CMakeCache.txt" ]; then
    launcher=()
    command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
        -DLUMENSTACK_FUZZ=ON -DLUMENSTACK_TESTS=OFF -DLUMENSTACK_BENCH=OFF \
        -DCMAKE_CXX_FLAGS="-O1 -gline-tables-only -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer" \
        "${launcher[@]}"
fi
cmake --build "$build" -j"$(nproc)" --target "fuzz_$target"

corpus="$build/corpus/$target"
findings="$build/findings/$target"
mkdir -p "$corpus" "$findings"
seed=tests/fuzz/corpus/$target
dict=()
[ -f "tests/fuzz/dict/$target.dict" ] && dict=(-dict="tests/fuzz/dict/$target.dict")

export ASAN_OPTIONS=detect_leaks=0:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
export LUMENSTACK_QUIET_LOG=1
exec "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
    -malloc_limit_mb=2048 -timeout=10 -fork=1 -ignore_crashes=1 -ignore_ooms=1 \
    -ignore_timeouts=1 -print_final_stats=1 -artifact_prefix="$findings/" \
    "${dict[@]}" "$@" "$corpus" "$seed"
