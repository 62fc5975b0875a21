#!/usr/bin/env python3
"""Writes docs/gallery/<name>.png: each sample, and the default main.fx, run by the built fxview on the
X display, photographed after a fixed number of frames. `make gallery` runs it on an Xvfb of its own."""

import pathlib
import subprocess
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
FRAMES = 90
TIMEOUT = 120.0


def shoot(binary, folder, picture):
    with tempfile.TemporaryDirectory(prefix="fxview-gallery-") as scratch:
        out_path = pathlib.Path(scratch) / "stdout.txt"
        with open(out_path, "w") as out:
            program = subprocess.Popen([str(binary)], cwd=folder, stdout=out, stderr=subprocess.DEVNULL)
        try:
            deadline = time.monotonic() + TIMEOUT
            while out_path.read_text(errors="replace").count("Dispatch") < FRAMES:
                if program.poll() is not None or time.monotonic() > deadline:
                    raise SystemExit(f"gallery: {folder} did not reach {FRAMES} frames")
                time.sleep(0.05)
            window = subprocess.run(["xdotool", "search", "--name", "^test$"], capture_output=True,
                                    text=True).stdout.split()[0]
            subprocess.run(["import", "-window", window, "-resize", "640x360", "-depth", "8", str(picture)], check=True)
        finally:
            program.kill()
            program.wait()


def main():
    binary = pathlib.Path(sys.argv[1]).resolve()
    gallery = ROOT / "docs" / "gallery"
    gallery.mkdir(parents=True, exist_ok=True)
    folders = [("default", ROOT)] + [(p.name, p) for p in sorted((ROOT / "samples").iterdir())
                                     if (p / "main.fx").exists()]
    for name, folder in folders:
        picture = gallery / f"{name}.png"
        shoot(binary, folder, picture)
        print(f"gallery: {picture.relative_to(ROOT)}")


if __name__ == "__main__":
    main()
