#!/usr/bin/env bash
# with-xvfb.sh WxH command...: runs the command on an Xvfb of its own, on a display number the
# server picks itself, and stops the server afterwards whatever the command did.
set -u
screen=$1
shift
fifo=$(mktemp -u)
mkfifo "$fifo"
GLIBC_TUNABLES=glibc.malloc.mmap_threshold=33554432:glibc.malloc.trim_threshold=268435456 \
    Xvfb -displayfd 6 -screen 0 "${screen}x24" -nolisten tcp -noreset 6>"$fifo" 2>/dev/null &
xvfb=$!
read -r -t 20 number <"$fifo"
rm -f "$fifo"
if [ -z "${number:-}" ]; then
    echo "with-xvfb.sh: Xvfb did not start" >&2
    kill "$xvfb" 2>/dev/null
    exit 1
fi
export DISPLAY=":$number"
"$@"
status=$?
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
exit $status
