#!/usr/bin/env bash
# windows-smoke.sh LINUX_FXVIEW WINDOWS_FXVIEW_EXE CONFORMANCE_EXE: runs the Windows program under Wine,
# in a fresh Wine prefix on an Xvfb of its own, beside the Linux build on the shaders in
# tests/windows/, and fails when the two differ:
# - draws/: the console up to the first frame-rate line (CR-LF read as LF), the dispatch and
#   frame-rate lines, the window's picture, and exit code 0 on Escape;
# - vertex-fails/ and a folder without main.fx: exit code 1 and the same console, the compilers'
#   own wording after "INFO : " aside;
# - the conformance program (tests/conformance) under Wine, with Wine's listed differences allowed:
#   exit code 0, its counts printed.
# No frame rate is compared. The Xvfb, the programs and the prefix's wineserver are stopped on every
# path.
set -uo pipefail
linux=$(realpath "$1")
windows=$(realpath "$2")
conformance=$(realpath "$3")
shaders=$(realpath "$(dirname "$0")/../tests/windows")
work=$(mktemp -d /tmp/fxview-windows-smoke-XXXXXX)
export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all
# No Mono or Gecko: the prefix is made without asking to download them.
export WINEDLLOVERRIDES="mscoree,mshtml="
xvfb=""
program=""

stop() {
    [ -n "$program" ] && kill "$program" 2>/dev/null
    [ -d "$WINEPREFIX" ] && wineserver -k 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap stop EXIT
trap 'exit 130' INT TERM HUP

fail() {
    echo "windows-smoke: FAIL: $*" >&2
    exit 1
}

start_xvfb() {
    mkfifo "$work/displayfd"
    Xvfb -displayfd 6 -screen 0 1920x1080x24 -nolisten tcp -noreset 6>"$work/displayfd" 2>/dev/null &
    xvfb=$!
    local number=""
    read -r -t 20 number <"$work/displayfd"
    [ -n "$number" ] || fail "Xvfb did not start"
    export DISPLAY=":$number"
    for _ in $(seq 100); do
        xdpyinfo >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    fail "Xvfb on $DISPLAY does not answer"
}

# run NAME FOLDER COMMAND...: starts the command in FOLDER, its console into NAME.out and NAME.err.
run() {
    local name=$1 folder=$2
    shift 2
    (cd "$folder" && exec timeout 120 "$@" >"$work/$name.out" 2>"$work/$name.err") &
    program=$!
}

# finish NAME: the exit code of the program started last, which must end within 60 s.
finish() {
    for _ in $(seq 600); do
        if ! kill -0 "$program" 2>/dev/null; then
            wait "$program"
            code=$?
            program=""
            return 0
        fi
        sleep 0.1
    done
    fail "$1 did not end within 60 s; standard error: $(cat "$work/$1.err")"
}

# The console up to the first frame-rate line, with CR-LF read as LF; fails unless one or more
# dispatch lines come just before that frame-rate line.
console_head() {
    perl -0777 -ne 's/\r\n/\n/g; /\A(.*?)(?:Dispatch X=40,  y=22\r)+\d+\.\d\d fps {12}\n/s or exit 1; print $1' \
        "$work/$1.out"
}

# The console with the compiler's text taken out: what follows "INFO : " up to the status line.
console_without_messages() {
    perl -0777 -pe 's/\r\n/\n/g; s/^INFO : .*?(?=^D3DCompileShaderFromFile : )/INFO : \n/gms' "$work/$1.out"
}

# draws NAME COMMAND...: runs the program on draws/ until its first frame-rate line, photographs its
# window and ends it with Escape.
draws() {
    local name=$1
    shift
    mkdir "$work/$name"
    cp "$shaders/draws/main.fx" "$work/$name/"
    run "$name" "$work/$name" "$@"
    for _ in $(seq 600); do
        grep -aq ' fps ' "$work/$name.out" && break
        kill -0 "$program" 2>/dev/null || fail "$name ended before a frame-rate line: $(cat "$work/$name.err")"
        sleep 0.1
    done
    local window
    window=$(timeout 20 xdotool search --sync --name '^test$' | head -n 1)
    [ -n "$window" ] || fail "$name: no window titled test"
    import -window "$window" "$work/$name.png" || fail "$name: the window could not be read"
    xdotool windowfocus --sync "$window" key Escape
    finish "$name"
    [ "$code" = 0 ] || fail "$name: exit code $code after Escape, not 0"
}

# fails NAME FOLDER COMMAND...: runs the program in FOLDER, where start-up must fail.
fails() {
    local name=$1 folder=$2
    shift 2
    run "$name" "$folder" "$@"
    finish "$name"
    [ "$code" = 1 ] || fail "$name: exit code $code, not 1"
    grep -aq '^ERROR : ' "$work/$name.out" || fail "$name: no ERROR line"
    grep -aq '^INFO : ' "$work/$name.out" || fail "$name: no compiler message"
}

start_xvfb
wineboot -i >"$work/wineboot.log" 2>&1 || fail "wineboot: $(cat "$work/wineboot.log")"
# A crash ends the program with Wine's backtrace on standard error rather than a dialog nobody answers.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >>"$work/wineboot.log" 2>&1 ||
    fail "wine reg add: $(cat "$work/wineboot.log")"

draws linux "$linux"
draws windows wine "$windows"
console_head linux >"$work/linux.head" || fail "linux: no dispatch line before the first frame-rate line"
console_head windows >"$work/windows.head" || fail "windows: no dispatch line before the first frame-rate line"
diff -u --label linux --label windows "$work/linux.head" "$work/windows.head" >&2 ||
    fail "the consoles differ before the first frame-rate line"
[ "$(identify -format %wx%h "$work/windows.png")" = 1280x720 ] || fail "the Windows program's window is not 1280 x 720"
pixels=$(compare -metric AE "$work/linux.png" "$work/windows.png" null: 2>&1) ||
    fail "the pictures differ: $pixels pixels"
echo "windows-smoke: draws/: the same console and picture; exit code 0 on Escape"

mkdir "$work/none"
for shader in vertex-fails none; do
    folder=$shaders/$shader
    [ "$shader" = none ] && folder=$work/none
    fails "linux-$shader" "$folder" "$linux"
    fails "windows-$shader" "$folder" wine "$windows"
    diff -u --label linux --label windows <(console_without_messages "linux-$shader") \
        <(console_without_messages "windows-$shader") >&2 || fail "$shader: the consoles differ"
    echo "windows-smoke: $shader: the same console and exit code 1"
done

run conformance "$work" wine "$conformance" --allow-wine-differences
finish conformance
tr -d '\r' <"$work/conformance.out"
[ "$code" = 0 ] || fail "conformance: exit code $code; standard error: $(tail -n 20 "$work/conformance.err")"
echo "windows-smoke: conformance: $(tr -d '\r' <"$work/conformance.out" | tail -n 1)"
