#!/usr/bin/env bash
# Builds the shader front end's fuzzer with clang in build-fuzz and runs it for FUZZ_SECONDS (60) on a
# copy of fuzz/corpus, so that what it finds never grows the committed corpus. Exits non-zero when
# the fuzzer finds a crash, a leak, a hang or a sanitizer report; the input is kept under
# build-fuzz/artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
jobs=${JOBS:-$(nproc)}

scripts/deps.sh --fuzz
cmake -S fuzz -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz -j "$jobs" --target shader_fuzzer

root=$(pwd)
scratch=build-fuzz/run
rm -rf "$scratch"
mkdir -p "$scratch/corpus" build-fuzz/artifacts
cp fuzz/corpus/* "$scratch/corpus/"
# Seeds with a file-less source look their includes up in the working folder, as the program does
# beside its main.fx.
cp samples/palette/palette.hlsl "$scratch/"

cd "$scratch"
status=0
# A compile that takes seconds is a hang to the user who pressed F5, so 10 s counts as one.
"$root/build-fuzz/shader_fuzzer" corpus -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=8192 -print_final_stats=1 -artifact_prefix="$root/build-fuzz/artifacts/" 2>fuzz.log || status=$?
grep -E '^(#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::average_exec_per_sec|==[0-9]+==ERROR|SUMMARY)' fuzz.log || true
echo "fuzz: corpus of $(ls corpus | wc -l) inputs ($(ls "$root/fuzz/corpus" | wc -l) seeds), exit status $status"
if [ "$status" -ne 0 ]; then
    tail -n 60 fuzz.log
    echo "fuzz: failed; the input is in build-fuzz/artifacts, the whole log in $scratch/fuzz.log"
fi
exit "$status"
