#!/usr/bin/env python3
"""Soak test: fxview built with AddressSanitizer and leak detection runs on the X display for 600 frames
while main.fx is rewritten and F5 pressed every 5 frames, cycling through a good file, a file that
does not compile and an empty file. It passes with zero leaks, zero sanitizer errors and zero Vulkan
validation messages, and prints those figures. `make soak` runs it on an Xvfb of its own."""

import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent
FRAMES = int(os.environ.get("SOAK_FRAMES", "600"))
EVERY = 5
STEP_TIMEOUT = 60.0

GOOD = (ROOT / "main.fx").read_text()
BROKEN = GOOD.replace("cs_main", "cs_main(", 1)
FILES = [("good", GOOD), ("broken", BROKEN), ("empty", "")]


class Console:
    """The program's standard output, read as it grows."""

    def __init__(self, path):
        self.path = path
        self.text = ""

    def read(self):
        self.text = self.path.read_text(errors="replace")
        return self.text

    def wait_for(self, predicate, what):
        deadline = time.monotonic() + STEP_TIMEOUT
        while time.monotonic() < deadline:
            if predicate(self.read()):
                return
            time.sleep(0.02)
        raise SystemExit(f"soak: timed out waiting for {what}")


def main():
    binary = pathlib.Path(sys.argv[1]).resolve()
    keep_libraries = pathlib.Path(sys.argv[2]).resolve()
    work = pathlib.Path(tempfile.mkdtemp(prefix="fxview-soak-"))
    (work / "main.fx").write_text(GOOD)
    program_env = dict(os.environ, FXVIEW_VALIDATION="1", LD_PRELOAD=str(keep_libraries),
                       ASAN_OPTIONS="verify_asan_link_order=0:detect_leaks=1:abort_on_error=0:exitcode=23",
                       LSAN_OPTIONS=f"suppressions={pathlib.Path(__file__).resolve().parent / 'lsan.supp'}")
    out_path, err_path = work / "stdout.txt", work / "stderr.txt"
    with open(out_path, "w") as out, open(err_path, "w") as err:
        program = subprocess.Popen([str(binary)], cwd=work, stdout=out, stderr=err, env=program_env)
    console = Console(out_path)
    started = time.monotonic()
    try:
        console.wait_for(lambda t: t.count("Dispatch") > 0, "the first frame")
        window = subprocess.run(["xdotool", "search", "--sync", "--name", "^test$"], capture_output=True,
                                text=True, timeout=30).stdout.split()[0]
        reloads = 0
        cycle = 0
        while console.read().count("Dispatch") < FRAMES:
            name, text = FILES[cycle % len(FILES)]
            cycle += 1
            (work / "main.fx").write_text(text)
            statuses = console.text.count("D3DCompileShaderFromFile : cs_main")
            frames = console.text.count("Dispatch")
            subprocess.run(["xdotool", "key", "F5"], check=True)
            console.wait_for(lambda t: t.count("D3DCompileShaderFromFile : cs_main") > statuses, f"reload {cycle}")
            reloads += 1
            if name == "good":
                console.wait_for(lambda t: t.count("Dispatch") >= frames + EVERY, f"{EVERY} frames after reload")
            else:
                time.sleep(0.05)
        frames = console.read().count("Dispatch")
        subprocess.run(["xdotool", "windowfocus", "--sync", window, "key", "Escape"], check=True)
        code = program.wait(timeout=120)
    finally:
        if program.poll() is None:
            program.kill()
    elapsed = time.monotonic() - started
    errors_text = err_path.read_text(errors="replace")
    leaks = len(re.findall(r"^(Direct|Indirect) leak of", errors_text, re.M))
    sanitizer_errors = len(re.findall(r"ERROR: (AddressSanitizer|UndefinedBehaviorSanitizer)|runtime error:",
                                      errors_text))
    validation = errors_text.count("fxview vulkan validation:")
    print(f"soak: {frames} frames, {reloads} reloads (good, broken, empty in turn) in {elapsed:.0f} s")
    print(f"soak: exit code {code}, leaks {leaks}, sanitizer errors {sanitizer_errors}, "
          f"validation messages {validation}")
    ok = code == 0 and leaks == 0 and sanitizer_errors == 0 and validation == 0
    if not ok:
        print(errors_text[-6000:])
    shutil.rmtree(work, ignore_errors=True)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
