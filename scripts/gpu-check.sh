#!/usr/bin/env bash
# gpu-check.sh [--no-bench] [BUILD]: the checks for a machine with a GPU, in a build folder of their
# own (default build-gpu-check), ending in a short report; its logs stay in BUILD/gpu-check.
#   1. the Vulkan devices (vulkaninfo --summary) and the limits and features the layer relies on;
#   2. the device tests and the samples under the validation layer with synchronization validation
#      and best practices, then again under GPU-assisted validation, whose one known false positive
#      (push descriptors, which it does not track, reported as uninitialized) is filtered and named;
#   3. the end-to-end tests on $DISPLAY when set, else on an Xvfb of their own;
#   4. the benchmark once (--no-bench leaves it out: on a CPU device it takes most of an hour).
# The runaway-shader tests time out the GPU on purpose, and a driver reset can take a desktop down:
# with a GPU present they run only with FXVIEW_ALLOW_GPU_HANG_TESTS=1.
set -u
cd "$(dirname "$0")/.." || exit 1
root=$PWD
bench=1
build="build-gpu-check"
for arg in "$@"; do
    case $arg in
    --no-bench) bench=0 ;;
    -*) echo "usage: scripts/gpu-check.sh [--no-bench] [BUILD]" >&2; exit 2 ;;
    *) build=$arg ;;
    esac
done
case $build in /*) ;; *) build=$root/$build ;; esac
logs=$build/gpu-check
mkdir -p "$logs"
report=()
failed=0
say() { report+=("$1"); }
fail() { report+=("$1"); failed=1; }

scripts/deps.sh --gpu-check || exit 1

# 1. Devices, limits and features.
vulkaninfo --summary >"$logs/vulkaninfo-summary.txt" 2>"$logs/vulkaninfo.err"
vulkaninfo >"$logs/vulkaninfo.txt" 2>>"$logs/vulkaninfo.err"
say "devices:"
while read -r line; do say "  $line"; done < <(grep -E "^\s*(deviceName|deviceType|apiVersion|driverInfo)\s*=" \
    "$logs/vulkaninfo-summary.txt" | sed 's/^\s*//; s/\s*=\s*/ = /' | paste -d ' ' - - - -)
wanted="minStorageBufferOffsetAlignment|maxPushDescriptors|maxStorageBufferRange|maxUniformBufferRange"
wanted+="|maxComputeWorkGroupInvocations|maxComputeWorkGroupCount|maxComputeWorkGroupSize|maxImageDimension2D"
wanted+="|robustBufferAccess|robustBufferAccess2|nullDescriptor|scalarBlockLayout|dynamicRendering"
wanted+="|synchronization2|shaderFloat64|shaderInt64|shaderInt16|fragmentStoresAndAtomics|geometryShader"
say "limits and features the layer relies on, by device (all in $logs/vulkaninfo.txt):"
# Each device's section starts at "GPUn:"; arrays are given as "name: count = n" and n lines.
while read -r line; do say "  $line"; done < <(awk -v wanted="^($wanted)$" '
    function flush() { if (n) printf "%s\n", out; out = ""; n = 0 }
    function add(item) { out = out (n % 4 ? ";  " : (n ? "\n    " : gpu " ")) item; n++ }
    /^GPU[0-9]+:/ { flush(); gpu = $1; delete seen; next }
    { sub(/^[ \t]+/, "") }
    match($0, /^[A-Za-z0-9]+: count = [0-9]+$/) {
        name = $1; sub(/:$/, "", name); values = ""
        for (i = 0; i < $4; i++) { getline v; gsub(/[ \t]/, "", v); values = values (i ? "," : "") v }
        if (name ~ wanted && !seen[name]++) add(name " = (" values ")")
        next
    }
    $2 == "=" && $1 ~ wanted && !seen[$1]++ { add($1 " = " $3) }
    END { flush() }' "$logs/vulkaninfo.txt")
gpu=0
grep -qE "deviceType\s*=\s*PHYSICAL_DEVICE_TYPE_(DISCRETE|INTEGRATED|VIRTUAL)_GPU" "$logs/vulkaninfo-summary.txt" &&
    gpu=1
hang_tests=1
if [ "$gpu" = 1 ] && [ "${FXVIEW_ALLOW_GPU_HANG_TESTS:-0}" != 1 ]; then
    hang_tests=0
fi

if ! cmake -S . -B "$build" -DFXVIEW_VALIDATION=all >"$logs/configure.log" 2>&1 ||
    ! cmake --build "$build" -j "$(nproc)" >"$logs/build.log" 2>&1; then
    echo "build failed: $logs/configure.log, $logs/build.log" >&2
    exit 1
fi

# The validation messages of a log, by message ID, the allocation-size hints and the
# debugging-extension notices apart (they are what validating itself and one allocation per
# resource cost), and GPU-assisted validation's push-descriptor false positive named.
messages() {
    local all hints other pushed
    all=$(grep -hoE "fxview vulkan (validation|best practices): [^[]*\[ [^]]+ \]" "$@" | grep -oE "\[ [^]]+ \]" | tr ' ' _)
    hints=$(grep -cE "small-allocation|small-dedicated-allocation|specialuse-extension" <<<"$all")
    pushed=$(grep -c "UNASSIGNED-Descriptor_uninitialized" <<<"$all")
    other=$(grep -vE "small-allocation|small-dedicated-allocation|specialuse-extension|Descriptor_uninitialized" <<<"$all" |
        grep -v '^$' | sort | uniq -c | awk '{gsub(/^\[_|_\]$/, "", $2); printf "%s x%s; ", $2, $1}')
    echo "$hints hints, $pushed push-descriptor false positives (UNASSIGNED-Descriptor uninitialized), other: ${other:-none}"
}

# 2. Device tests and samples under validation.
exclude="^$"
[ "$hang_tests" = 0 ] && exclude="^d3d11_removal_test$"
ctest_run() {
    (cd "$build" && ctest -V -j "$(nproc)" -R '^(d3d11_|compiler_compat_|samples_)' "$@")
}
if FXVIEW_VALIDATION=all ctest_run -E "$exclude" >"$logs/device-tests.log" 2>&1; then
    say "device tests and samples, synchronization validation and best practices: passed"
else
    fail "device tests and samples, synchronization validation and best practices: FAILED ($logs/device-tests.log)"
fi
say "  messages: $(messages "$logs/device-tests.log")"
while read -r line; do [ -n "$line" ] && say "  ran on: $line"; done < <(grep -hoE "fxview platform: using .*" \
    "$logs/device-tests.log" | sed 's/^fxview platform: using //' | sort -u)
# GPU-assisted validation changes what faulty accesses return, so tests that check pixels may fail
# under it: only its messages count. The surface test is left out: its held window image waits for
# an event the host sets later, which the wait after each submission would hold up.
VK_LAYER_ENABLES=VK_VALIDATION_FEATURE_ENABLE_GPU_ASSISTED_EXT FXVIEW_VALIDATION=1 \
    ctest_run -E "$exclude|^d3d11_surface_test$" >"$logs/gpu-assisted.log" 2>&1
say "GPU-assisted validation, messages: $(messages "$logs/gpu-assisted.log")"
[ "$hang_tests" = 0 ] &&
    say "runaway-shader tests skipped: a GPU is present (FXVIEW_ALLOW_GPU_HANG_TESTS=1 runs them)"

# 3. End-to-end tests on a real display.
display=${DISPLAY:-}
e2e_failed=0
for name in $(cd "$build" && ctest -N -R '^e2e_' | awk '/Test +#/ {print $3}'); do
    filter="*"
    [ "$hang_tests" = 0 ] && [ "$name" = e2e_hostile_test ] && filter="-*Runaway*"
    run=(env FXVIEW_SOURCE_DIR="$root" FXVIEW_BINARY="$build/fxview" "$build/tests/e2e/$name"
        --gtest_filter="$filter")
    # The small-screen test needs its small screen: it always gets an Xvfb.
    if [ -n "$display" ] && [ "$name" != e2e_small_screen_test ]; then
        (cd "$build/tests/e2e" && "${run[@]}") >"$logs/$name.log" 2>&1 || e2e_failed=1
    else
        screen=1920x1080
        [ "$name" = e2e_small_screen_test ] && screen=1280x720
        (cd "$build/tests/e2e" && "$root/tests/with-xvfb.sh" "$screen" "${run[@]}") >"$logs/$name.log" 2>&1 || e2e_failed=1
    fi
done
where=${display:-an Xvfb}
if [ "$e2e_failed" = 0 ]; then say "end-to-end tests on $where: passed"; else fail "end-to-end tests on $where: FAILED ($logs/e2e_*.log)"; fi

# 4. The benchmark, once.
if [ "$bench" = 1 ]; then
    if make --no-print-directory bench BUILD="$build" ROUNDS=1 BENCH_OUT="$logs/bench.md" >"$logs/bench.log" 2>&1; then
        say "bench: $logs/bench.md"
        while read -r line; do say "  $line"; done < <(grep -E "^\|" "$logs/bench.md" | head -8)
    else
        fail "bench: FAILED ($logs/bench.log)"
    fi
else
    say "bench: left out (--no-bench)"
fi

echo
echo "fxview gpu-check, $(date -u '+%Y-%m-%d %H:%M UTC'), $(git rev-parse --short HEAD)"
printf '%s\n' "${report[@]}"
exit "$failed"
