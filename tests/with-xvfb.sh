#!/usr/bin/env bash
# with-xvfb.sh WxH command...: runs the command on an Xvfb of its own, on a display number the
# server picks itself and writes to a pipe (-displayfd), so that tests started side by side under
# `ctest -j` never guess the same number; stops the server afterwards whatever the command did. A
# server that dies while starting or does not answer is started again.
set -u
screen=$1
shift
fifo=$(mktemp -u)
mkfifo "$fifo"
xvfb=""
trap 'rm -f "$fifo"; [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null' EXIT
for _ in 1 2 3; do
    GLIBC_TUNABLES=glibc.malloc.mmap_threshold=33554432:glibc.malloc.trim_threshold=268435456 \
        Xvfb -displayfd 6 -screen 0 "${screen}x24" -nolisten tcp -noreset 6>"$fifo" 2>/dev/null &
    xvfb=$!
    number=""
    read -r -t 20 number <"$fifo"
    # The number comes before the server has settled: it is ready once it answers.
    for _ in $(seq 100); do
        [ -n "$number" ] && kill -0 "$xvfb" 2>/dev/null || break
        if xdpyinfo -display ":$number" >/dev/null 2>&1; then
            DISPLAY=":$number" "$@"
            exit $?
        fi
        sleep 0.1
    done
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
done
echo "with-xvfb.sh: Xvfb did not start" >&2
exit 1
