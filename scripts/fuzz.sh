#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan, UBSan) in build-fuzz/ and runs each for
# SECONDS (default 60), one after the other. Fails on any crash, leak, hang or sanitizer
# report; the inputs that caused them are kept in build-fuzz/crashes/<target>/.
# usage: scripts/fuzz.sh [SECONDS [TARGET...]]   (targets: hive reg path; default all)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
targets=("${@:2}")
[ ${#targets[@]} -eq 0 ] && targets=(hive reg path)
usage() {
    echo "usage: scripts/fuzz.sh [SECONDS [TARGET...]]   (targets: hive reg path)" >&2
    exit 2
}
[[ "$seconds" =~ ^[0-9]+$ ]] && [ "$seconds" -ge 1 ] || usage
for target in "${targets[@]}"; do
    [[ "$target" == hive || "$target" == reg || "$target" == path ]] || usage
done

# libclang-rt-dev holds libFuzzer and the sanitizer runtimes (clang only recommends it);
# llvm brings llvm-symbolizer for readable stacks.
scripts/install-deps.sh clang libclang-rt-dev llvm cmake make gzip

build=build-fuzz
cmake -S . -B "$build" -DTIDEWELL_BUILD_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2

# Seeds: hives and .reg files written by Wine 8.0, cut into pieces of whole key sections.
data=tests/data/wine-8.0
if [ ! -d "$build/seeds/hive" ] || [ ! -d "$build/seeds/reg" ]; then
    rm -rf "$build/seeds"
    mkdir -p "$build/seeds/hive" "$build/seeds/reg"
    for hive in "$data"/fresh/*.reg "$data"/varied/*.reg; do
        case "$hive" in *regedit-export*) continue ;; esac
        "$build/fuzz/make-fuzz-seeds" hive "$hive" "$build/seeds/hive" 120
    done
    "$build/fuzz/make-fuzz-seeds" reg "$data/varied/regedit-export-hkcu-fixture.reg" \
        "$build/seeds/reg" 20
    gzip -dc "$data/varied/regedit-export-full.reg.gz" >"$build/seeds/full-export.reg"
    "$build/fuzz/make-fuzz-seeds" reg "$build/seeds/full-export.reg" "$build/seeds/reg" 120
    rm "$build/seeds/full-export.reg"
fi

# Path seeds: a name and a Windows path, split by a NUL byte.
if [ ! -d "$build/seeds/path" ]; then
    mkdir -p "$build/seeds/path"
    n=0
    for seed in '~z\..\..\users\me\Desktop\victim.txt' 'trail.tmp ' 'c:d.tmp' 'PROGRA~1' \
        'café.tmp' 'users\me\Desktop\victim.txt' 'users\me\Inside\App\app.exe' \
        'users\me\Temp\..\..\..\..\windows' 'Program Files\App\.\app.exe'; do
        n=$((n + 1))
        printf '%s\0%s' "$seed" "$seed" >"$build/seeds/path/seed-$n"
    done
fi

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"

failed=()
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    crashes="$build/crashes/$target"
    log="$build/logs/$target.log"
    mkdir -p "$corpus" "$crashes" "$(dirname "$log")"
    echo "Fuzzing ${target}_fuzzer for ${seconds} s (log: $log)"
    # Seeds are about 3 KB of text (6 KB as UTF-16); 8 KB leaves room to grow.
    if "$build/fuzz/${target}_fuzzer" -max_total_time="$seconds" -max_len=8192 -timeout=20 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$crashes/" \
        "$corpus" "$build/seeds/$target" >"$log" 2>&1; then
        grep -E '^stat::number_of_executed_units|^Done [0-9]+ runs' "$log" || true
    else
        failed+=("$target")
        tail -n 60 "$log"
        echo "${target}_fuzzer failed; its input is in $crashes/" >&2
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "Fuzzing found faults in: ${failed[*]}" >&2
    exit 1
fi
echo "Fuzzing found nothing."
