#!/usr/bin/env bash
# Builds one fuzz target in build-fuzz (clang, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs it for SECONDS from its seed files: scripts/fuzz.sh TARGET SECONDS [libFuzzer options]
# Targets: bmp dib jpeg png ico gif webp tiff gif_writer gif_lzw cli_options. New inputs go to
# build-fuzz/corpus/TARGET; a crash is written to build-fuzz/crash-TARGET-* and fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?usage: scripts/fuzz.sh TARGET SECONDS}
seconds=${2:?usage: scripts/fuzz.sh TARGET SECONDS}
shift 2
tree=build-fuzz
if [[ ! -f $tree/build.ninja ]]; then
    cmake -S . -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DLUMAVEX_FUZZ=ON -DLUMAVEX_SANITIZE=ON -DLUMAVEX_GUI=OFF -DLUMAVEX_BENCH=OFF \
        $(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache) >/dev/null
fi
nice ninja -C "$tree" -j2 "fuzz_$target" >/dev/null
mkdir -p "$tree/corpus/$target"
seeds=fuzz/corpus/$target
# A picture within the size limits may need 2 GiB; beyond that is a finding.
ASAN_OPTIONS=${ASAN_OPTIONS:-allocator_may_return_null=1:detect_leaks=1} \
    UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1} \
    nice "$tree/fuzz/fuzz_$target" -max_total_time="$seconds" -rss_limit_mb=2560 -malloc_limit_mb=2560 \
    -timeout=10 -print_final_stats=1 -artifact_prefix="$tree/crash-$target-" \
    "$@" "$tree/corpus/$target" "$seeds"
