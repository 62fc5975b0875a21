#!/usr/bin/env bash
# run.sh BINARY [FOLDER]: runs the viewer in FOLDER (the one with main.fx; default: here), on the
# X display if there is one, else on an Xvfb of its own so that a headless machine still runs it.
set -u
binary=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
folder=${2:-.}
if [ ! -f "$folder/main.fx" ]; then
    echo "No main.fx in $folder (samples: $(ls "$here/../samples" | tr '\n' ' '))" >&2
    exit 1
fi
cd "$folder" || exit 1
if [ -z "${DISPLAY:-}" ]; then
    echo "No X display is set (DISPLAY is empty): running fxview on a virtual display (Xvfb); press Ctrl+C to stop."
    exec "$here/../tests/with-xvfb.sh" 1920x1080 "$binary"
fi
exec "$binary"
