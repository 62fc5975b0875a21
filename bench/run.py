#!/usr/bin/env python3
"""make bench: fxview against the direct-Vulkan baseline on the same machine, in rounds that alternate
the two programs, each run on a fresh Xvfb started by tests/with-xvfb.sh. Prints a table of medians
with min and max, writes it to bench/results.md, and plots frame-time distributions beside it."""

import argparse
import datetime
import json
import os
import platform
import signal
import statistics
import subprocess
import sys
import tempfile

import results_table
import shader_variants

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
SCREEN = "1920x1080"
HELD_SET = "trivial.fx"
SHADER_SETS = [("main.fx", os.path.join(ROOT, "main.fx")), ("trivial.fx", os.path.join(HERE, "trivial.fx"))]


def log(text):
    print(text, file=sys.stderr, flush=True)


def one_run(args, program, shader, extra):
    tools = os.path.join(args.build, "bench")
    binary = os.path.join(args.build, "fxview") if program == "fxview" else os.path.join(tools, "fxbench_baseline")
    command = [os.path.join(ROOT, "tests", "with-xvfb.sh"), SCREEN, sys.executable, os.path.join(HERE, "one_run.py"),
               "--program", program, "--binary", binary, "--shader", shader,
               "--watch", os.path.join(tools, "fxbench_frame_watch"), "--seconds", str(args.seconds)] + extra
    load_before = os.getloadavg()[0]
    # A session of its own, so that a run that hangs is stopped with its Xvfb and everything it started.
    run = subprocess.Popen(command, stdout=subprocess.PIPE, text=True, start_new_session=True)
    try:
        out, _ = run.communicate(timeout=args.reload_timeout + 180)
    except subprocess.TimeoutExpired:
        os.killpg(run.pid, signal.SIGKILL)
        run.communicate()
        log(f"  {program} on {os.path.basename(shader)}: the run hung and was stopped")
        return None
    lines = [line for line in out.splitlines() if line.startswith("{")]
    if run.returncode != 0 or not lines:
        log(f"  {program} on {os.path.basename(shader)}: the run failed (exit {run.returncode})")
        return None
    result = json.loads(lines[-1])
    result["load_before"] = load_before
    return result


def compile_times(args, shader):
    """Median milliseconds to compile the pixel and compute stages of each marker variant."""
    tool = os.path.join(args.build, "bench", "fxbench_compile_time")
    source = open(shader).read()
    times = []
    with tempfile.TemporaryDirectory(prefix="fxbench-") as scratch:
        for i in range(len(shader_variants.MARKERS)):
            path = os.path.join(scratch, f"marker{i}.fx")
            with open(path, "w") as f:
                f.write(shader_variants.marker(source, i)[1])
            out = subprocess.run([tool, path, "7"], cwd=scratch, stdout=subprocess.PIPE, text=True, check=True).stdout
            times.append(float(out.split()[1]))
    return statistics.median(times)


def describe_machine():
    cpu = "unknown CPU"
    with open("/proc/cpuinfo") as info:
        for line in info:
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    mesa = subprocess.run(["dpkg-query", "-W", "-f=${Version}", "mesa-vulkan-drivers"], stdout=subprocess.PIPE,
                          text=True).stdout or "unknown"
    commit = subprocess.run(["git", "-C", ROOT, "rev-parse", "--short", "HEAD"], stdout=subprocess.PIPE,
                            text=True).stdout.strip()
    changed = subprocess.run(["git", "-C", ROOT, "status", "--porcelain", "--", "app", "d3d", "scene", "platform"],
                             stdout=subprocess.PIPE, text=True).stdout.split("\n")
    folders = sorted({line[3:].split("/")[0] for line in changed if line[3:]})
    if folders:
        commit += " with uncommitted changes in " + ", ".join(folders)
    return {"cpu": cpu, "cores": os.cpu_count(), "mesa": mesa, "commit": commit, "kernel": platform.release(),
            "date": datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")}


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", default=os.path.join(ROOT, "build"))
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--seconds", type=float, default=12.0, help="steady running per run")
    parser.add_argument("--presses", type=int, default=5, help="timed F5 presses per fxview run")
    parser.add_argument("--reloads", type=int, default=1000,
                        help="F5-held reloads in the first fxview run on " + HELD_SET)
    parser.add_argument("--reload-timeout", type=float, default=420.0)
    parser.add_argument("--out", default=os.path.join(HERE, "results.md"))
    args = parser.parse_args()
    args.build = os.path.abspath(args.build)

    runs = []
    compile_ms = {}
    for name, shader in SHADER_SETS:
        compile_ms[name] = compile_times(args, shader)
        log(f"compile time of a reload of {name}: {compile_ms[name]:.1f} ms")
    for r in range(args.rounds):
        for name, shader in SHADER_SETS:
            order = ["baseline", "fxview"] if r % 2 == 0 else ["fxview", "baseline"]
            for program in order:
                extra = []
                if program == "fxview":
                    extra = ["--presses", str(args.presses), "--reload-timeout", str(args.reload_timeout)]
                    # Memory over many reloads is a leak check, not a timing: one run of it is enough, on
                    # the shaders whose reloads are quickest, since lavapipe compiles each new pipeline.
                    if name == HELD_SET and r == 0:
                        extra += ["--reloads", str(args.reloads)]
                result = one_run(args, program, shader, extra)
                if result:
                    result["round"] = r
                    runs.append(result)
                    log(f"round {r + 1}/{args.rounds} {name:10} {program:8} " + results_table.summary(result))
    for name, shader in SHADER_SETS:
        for program in ["baseline", "fxview"]:
            lib = os.path.join(args.build, "bench", "libfxbench_alloc_count.so")
            result = one_run(args, program, shader, ["--alloc-lib", lib])
            if result:
                result["round"] = "alloc"
                runs.append(result)
                log(f"allocations {name:10} {program:8} " + results_table.summary(result))

    machine = describe_machine()
    with open(os.path.join(args.build, "bench", "results.json"), "w") as f:
        json.dump({"machine": machine, "compile_ms": compile_ms, "args": vars(args), "runs": runs}, f)
    table = results_table.table(runs, compile_ms, [name for name, _ in SHADER_SETS])
    print(table)
    plot = os.path.splitext(args.out)[0] + ".png"
    plotted = results_table.plot(runs, [name for name, _ in SHADER_SETS], plot)
    with open(args.out, "w") as f:
        f.write(results_table.document(table, machine, args, HELD_SET,
                                       os.path.basename(plot) if plotted else None))
    log(f"wrote {args.out}" + (f" and {plot}" if plotted else " (no plot: python3-matplotlib is missing)"))


if __name__ == "__main__":
    main()
