#!/usr/bin/env bash
# run.sh BINARY: runs the viewer in the current directory, on the X display if there is one,
# else on an Xvfb of its own so that a headless machine still runs it.
set -u
binary=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
if [ -z "${DISPLAY:-}" ]; then
    echo "No X display is set (DISPLAY is empty): running fxview on a virtual display (Xvfb); press Ctrl+C to stop."
    exec "$here/../tests/with-xvfb.sh" 1920x1080 "$binary"
fi
exec "$binary"
