#!/usr/bin/env bash
# with-xvfb.sh WxH command...: runs the command on an Xvfb of its own, on a display number the
# server picks itself, and stops the server afterwards whatever the command did. A server that dies
# while starting (servers starting side by side can race for a number) is started again.
set -u
screen=$1
shift

start_server() {
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    GLIBC_TUNABLES=glibc.malloc.mmap_threshold=33554432:glibc.malloc.trim_threshold=268435456 \
        Xvfb -displayfd 6 -screen 0 "${screen}x24" -nolisten tcp -noreset 6>"$fifo" 2>/dev/null &
    xvfb=$!
    number=""
    read -r -t 20 number <"$fifo"
    rm -f "$fifo"
    [ -n "$number" ] || return 1
    # The number is written before the server has settled: wait until it answers.
    for _ in $(seq 100); do
        kill -0 "$xvfb" 2>/dev/null || return 1
        xdpyinfo -display ":$number" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

for attempt in 1 2 3; do
    if start_server; then
        break
    fi
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
    if [ "$attempt" = 3 ]; then
        echo "with-xvfb.sh: Xvfb did not start" >&2
        exit 1
    fi
done
export DISPLAY=":$number"
"$@"
status=$?
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
exit $status
