#!/usr/bin/env python3
"""One measured run of fxview or the baseline, on the X display it is given (run.py starts a fresh
Xvfb for each). It starts the program on a scratch copy of a shader file with frame_watch watching,
and prints one JSON object: start-up time, per-second frame rates, frame intervals, resident memory,
and for fxview the F5 reload latencies and the memory after many reloads (or, with --alloc-lib, heap
allocations per frame instead)."""

import argparse
import json
import os
import queue
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

import shader_variants

NS = 1_000_000_000
BACKGROUND = {0x000000, 0xFFFFFF}


def now_ns():
    return time.monotonic_ns()


class Watcher:
    """frame_watch as a child: commands in, timestamped frames and key events out."""

    def __init__(self, path):
        self.proc = subprocess.Popen([path], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)
        self.frames = []  # (ns, colour or None)
        self.keys = queue.Queue()
        self.ready = threading.Event()
        self.lock = threading.Lock()
        threading.Thread(target=self._read, daemon=True).start()
        if not self.ready.wait(10):
            raise RuntimeError("frame_watch did not start")

    def _read(self):
        for line in self.proc.stdout:
            words = line.split()
            if not words:
                continue
            if words[0] == "ready":
                self.ready.set()
            elif words[0] == "frame":
                colour = int(words[2], 16) if len(words) > 2 else None
                with self.lock:
                    self.frames.append((int(words[1]), colour))
            elif words[0] == "key":
                self.keys.put(int(words[1]))

    def send(self, command):
        self.proc.stdin.write(command + "\n")
        self.proc.stdin.flush()

    def key(self, direction, name):
        self.send(f"{direction} {name}")
        return self.keys.get(timeout=10)

    def frames_since(self, start_ns):
        with self.lock:
            return [f for f in self.frames if f[0] >= start_ns]

    def wait_frame(self, after_ns, accept, timeout_s):
        """The first frame after `after_ns` whose colour `accept` takes, or None."""
        deadline = time.monotonic() + timeout_s
        while time.monotonic() < deadline:
            for t, colour in self.frames_since(after_ns):
                if colour is not None and accept(colour):
                    return t
            time.sleep(0.002)
        return None

    def close(self):
        try:
            self.send("quit")
        except BrokenPipeError:
            pass
        try:
            self.proc.wait(5)
        except subprocess.TimeoutExpired:
            self.proc.kill()


class Program:
    """The measured program, its stdout and stderr collected as they arrive."""

    def __init__(self, binary, cwd, env):
        self.start_ns = now_ns()
        self.proc = subprocess.Popen([binary], cwd=cwd, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.out = bytearray()
        self.err = bytearray()
        self.lock = threading.Lock()
        self.threads = [threading.Thread(target=self._read, args=(self.proc.stdout, self.out), daemon=True),
                        threading.Thread(target=self._read, args=(self.proc.stderr, self.err), daemon=True)]
        for t in self.threads:
            t.start()

    def _read(self, stream, sink):
        while True:
            chunk = stream.read1(65536)
            if not chunk:
                return
            with self.lock:
                sink.extend(chunk)

    def stdout_text(self):
        with self.lock:
            return self.out.decode(errors="replace")

    def stderr_text(self):
        with self.lock:
            return self.err.decode(errors="replace")

    def loaded_count(self):
        return self.stdout_text().count("Loaded.")

    def rss_kib(self):
        with open(f"/proc/{self.proc.pid}/status") as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        return None

    def finish(self, watcher):
        """Escape, as a user would quit; killed if it does not go."""
        if self.proc.poll() is None:
            watcher.key("down", "Escape")
            watcher.key("up", "Escape")
        try:
            self.proc.wait(15)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        for t in self.threads:
            t.join(5)
        return self.proc.returncode


def cpu_seconds(pid):
    """User plus system time of a process and all its threads so far, or None once it is gone."""
    try:
        with open(f"/proc/{pid}/stat") as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
    except OSError:
        return None
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def x_server_pid():
    """The Xvfb that with-xvfb.sh started beside this script."""
    parent = os.getppid()
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as stat:
                head, tail = stat.read().rsplit(")", 1)
        except OSError:
            continue
        if head.endswith("(Xvfb") and int(tail.split()[1]) == parent:
            return int(entry)
    return None


def sleep_until(ns):
    delay = (ns - now_ns()) / NS
    if delay > 0:
        time.sleep(delay)


def fps_reports(text):
    values = []
    for piece in text.replace("\r", "\n").split("\n"):
        words = piece.split()
        if len(words) == 2 and words[1] == "fps":
            values.append(float(words[0]))
    return values


def alloc_counts(text):
    return [tuple(int(w) for w in line.split()[1:4]) for line in text.splitlines() if line.startswith("alloc ")]


def replace_file(path, text):
    scratch = path + ".new"
    with open(scratch, "w") as f:
        f.write(text)
    os.replace(scratch, path)


def measure_reloads(args, program, watcher, shader_path, result):
    """F5 presses onto marker shaders, then F5 held for many reloads."""
    source = open(args.shader).read()
    latencies = []
    for i in range(args.presses):
        colour, text = shader_variants.marker(source, i)
        replace_file(shader_path, text)
        watcher.send("sample on")
        time.sleep(0.2)
        pressed = watcher.key("down", "F5")
        watcher.key("up", "F5")
        shown = watcher.wait_frame(pressed, lambda c, want=colour: c == want, 10)
        watcher.send("sample off")
        latencies.append(None if shown is None else (shown - pressed) / 1e6)
        time.sleep(0.3)
        if i == 0:
            time.sleep(0.7)
            result["rss_first_reload_kib"] = program.rss_kib()
    result["reload_latency_ms"] = latencies

    if args.reloads <= 0:
        return
    replace_file(shader_path, source)
    before = program.loaded_count()
    started = now_ns()
    watcher.key("down", "F5")
    deadline = time.monotonic() + args.reload_timeout
    while program.loaded_count() - before < args.reloads and time.monotonic() < deadline:
        if program.proc.poll() is not None:
            break
        time.sleep(0.05)
    watcher.key("up", "F5")
    held_s = (now_ns() - started) / NS
    time.sleep(1.0)
    result["reloads_held_s"] = held_s
    result["rss_after_reloads_kib"] = program.rss_kib()
    result["reloads_before_hold"] = before


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--program", required=True, choices=["fxview", "baseline"])
    parser.add_argument("--binary", required=True)
    parser.add_argument("--shader", required=True)
    parser.add_argument("--watch", required=True)
    parser.add_argument("--seconds", type=float, default=12.0, help="steady running before anything else")
    parser.add_argument("--presses", type=int, default=0, help="single F5 presses timed (fxview)")
    parser.add_argument("--reloads", type=int, default=0, help="reloads with F5 held (fxview)")
    parser.add_argument("--reload-timeout", type=float, default=420.0)
    parser.add_argument("--alloc-lib", help="preload this allocation counter and count instead")
    args = parser.parse_args()

    scratch = tempfile.mkdtemp(prefix="fxbench-")
    shader_path = os.path.join(scratch, "main.fx")
    shutil.copyfile(args.shader, shader_path)
    env = dict(os.environ)
    # Every start-up and reload compiles its pipelines as a new shader would, whatever ran before.
    env["MESA_SHADER_CACHE_DISABLE"] = "true"
    if args.alloc_lib:
        env["LD_PRELOAD"] = os.path.abspath(args.alloc_lib)

    result = {"program": args.program, "shader": os.path.basename(args.shader)}
    watcher = Watcher(args.watch)
    watcher.send("sample on")
    program = Program(os.path.abspath(args.binary), scratch, env)
    t0 = program.start_ns
    try:
        first = watcher.wait_frame(t0, lambda c: c not in BACKGROUND, 60)
        watcher.send("sample off")
        if first is None:
            raise RuntimeError("no frame within 60 s")
        result["startup_ms"] = (first - t0) / 1e6
        steady_from = t0 + 3 * NS
        steady_to = t0 + int(args.seconds * NS)

        if args.alloc_lib:
            sleep_until(t0 + 4 * NS)
            marks = [now_ns()]
            os.kill(program.proc.pid, signal.SIGUSR1)
            sleep_until(t0 + 9 * NS)
            marks.append(now_ns())
            os.kill(program.proc.pid, signal.SIGUSR1)
            time.sleep(0.3)
            counts = alloc_counts(program.stderr_text())
            frames = [f for f in watcher.frames_since(marks[0]) if f[0] < marks[1]]
            if len(counts) >= 2 and frames:
                result["frames_counted"] = len(frames)
                result["allocs_per_frame"] = (counts[1][0] - counts[0][0]) / len(frames)
                result["allocs_per_frame_main"] = (counts[1][1] - counts[0][1]) / len(frames)
                result["allocs_per_frame_own"] = (counts[1][2] - counts[0][2]) / len(frames)
        else:
            # CPU cores kept busy by the program and by the X server that shows its frames: with the frame
            # rate, what a frame costs, as opposed to how long it took on a machine that other work shares.
            server = x_server_pid()
            sleep_until(steady_from)
            cpu_from = (cpu_seconds(program.proc.pid), cpu_seconds(server))
            wall_from = now_ns()
            sleep_until(t0 + 10 * NS)
            result["rss_10s_kib"] = program.rss_kib()
            sleep_until(steady_to)
            cpu_to = (cpu_seconds(program.proc.pid), cpu_seconds(server))
            wall = (now_ns() - wall_from) / NS
            times = [f[0] for f in watcher.frames_since(steady_from) if f[0] < steady_to]
            if None not in cpu_from + cpu_to:
                result["cpu_cores"] = (cpu_to[0] - cpu_from[0]) / wall
                result["server_cpu_cores"] = (cpu_to[1] - cpu_from[1]) / wall
            result["frame_ms"] = [(b - a) / 1e6 for a, b in zip(times, times[1:])]
            if len(times) > 1:
                result["watched_fps"] = (len(times) - 1) * NS / (times[-1] - times[0])
            # Per-second reports from the steady stretch only: the first two cover start-up.
            result["steady_reports"] = max(0, int((steady_to - first) / NS) - 1)
            if args.presses or args.reloads:
                measure_reloads(args, program, watcher, shader_path, result)
    finally:
        result["exit_code"] = program.finish(watcher)
        watcher.close()
        shutil.rmtree(scratch, ignore_errors=True)

    reports = fps_reports(program.stdout_text())
    if "steady_reports" in result:
        result["fps_reports"] = reports[2:result["steady_reports"]]
    result["reloads_total"] = program.loaded_count()
    errors = [line for line in program.stderr_text().splitlines() if not line.startswith("alloc ")]
    result["stderr"] = errors[-5:]
    json.dump(result, sys.stdout)
    print()


if __name__ == "__main__":
    main()
