"""Figures from the runs of run.py: a one-line summary per run, the table of medians with min and
max, the frame-time plot and the results.md document around them."""

import statistics

MIB = 1024.0


def spread(values, digits=1):
    """'median (min–max)' of the values that exist, or '–'."""
    values = [v for v in values if v is not None]
    if not values:
        return "–"
    f = f"{{:.{digits}f}}"
    if len(values) == 1:
        return f.format(values[0])
    return f"{f.format(statistics.median(values))} ({f.format(min(values))}–{f.format(max(values))})"


def run_fps(run):
    reports = run.get("fps_reports") or []
    return statistics.median(reports) if reports else None


def summary(run):
    parts = []
    if run.get("fps_reports"):
        parts.append(f"{run_fps(run):.1f} fps")
    if "cpu_cores" in run:
        parts.append(f"cores busy {run['cpu_cores']:.2f} + X {run['server_cpu_cores']:.2f}")
    if "startup_ms" in run:
        parts.append(f"start-up {run['startup_ms']:.0f} ms")
    latencies = [v for v in run.get("reload_latency_ms") or [] if v is not None]
    if latencies:
        parts.append(f"reload {statistics.median(latencies):.0f} ms")
    if run.get("rss_after_reloads_kib"):
        reloads = run["reloads_total"] - run.get("reloads_before_hold", 0)
        parts.append(f"RSS {run['rss_first_reload_kib'] / MIB:.1f} -> {run['rss_after_reloads_kib'] / MIB:.1f} MiB "
                     f"after {reloads} reloads")
    if "allocs_per_frame" in run:
        parts.append(f"{run['allocs_per_frame']:.1f} allocations/frame ({run['allocs_per_frame_main']:.1f} main "
                     f"thread, {run['allocs_per_frame_own']:.1f} from the executable's own code)")
    if run.get("stderr"):
        parts.append("stderr: " + " | ".join(run["stderr"]))
    return ", ".join(parts)


def _select(runs, name, program, kind="round"):
    """Runs of one program on one shader set: "round" for the measured rounds, else "alloc"."""
    return [r for r in runs if r["shader"] == name and r["program"] == program and
            (r["round"] if isinstance(r["round"], str) else "round") == kind]


def _paired(runs, name, value):
    """fxview / baseline of `value`, round by round."""
    ratios = []
    for fx in _select(runs, name, "fxview"):
        for base in _select(runs, name, "baseline"):
            if base["round"] == fx["round"] and value(fx) and value(base):
                ratios.append(value(fx) / value(base))
    return ratios


def table(runs, compile_ms, names):
    rows = ["| measure | shaders | baseline | fxview | fxview / baseline | target |", "|---|---|---|---|---|---|"]

    def row(measure, name, base, fx, ratio, target):
        rows.append(f"| {measure} | {name} | {base} | {fx} | {ratio} | {target} |")

    fps_targets = {"main.fx": "≥ 0.95", "trivial.fx": "≥ 0.85"}
    for name in names:
        row("frames per second", name, spread([run_fps(r) for r in _select(runs, name, "baseline")]),
            spread([run_fps(r) for r in _select(runs, name, "fxview")]), spread(_paired(runs, name, run_fps), 3),
            fps_targets.get(name, ""))
    def per_frame(key):
        return lambda r: r[key] * 1000 / run_fps(r) if r.get(key) is not None and run_fps(r) else None

    for value, measure in [(lambda r: r.get("cpu_cores"), "CPU cores busy, the program (all threads)"),
                           (lambda r: r.get("server_cpu_cores"), "CPU cores busy, the X server"),
                           (per_frame("cpu_cores"), "CPU time per frame, the program, ms"),
                           (per_frame("server_cpu_cores"), "CPU time per frame, the X server, ms")]:
        for name in names:
            row(measure, name, spread([value(r) for r in _select(runs, name, "baseline")], 2),
                spread([value(r) for r in _select(runs, name, "fxview")], 2), spread(_paired(runs, name, value), 3),
                "")
    for name in names:
        startup = lambda r: r.get("startup_ms")
        row("start-up to first frame, ms", name, spread([startup(r) for r in _select(runs, name, "baseline")], 0),
            spread([startup(r) for r in _select(runs, name, "fxview")], 0), spread(_paired(runs, name, startup), 2),
            "≤ 1.2")
    # The markers alternate: the first two presses of a run bring pixel-stage code the device has not
    # seen; the later ones bring back code it built pipelines for two presses before.
    for part, measure in [(slice(0, 2), "F5 reload latency, new pixel-stage code, ms"),
                          (slice(2, None), "F5 reload latency, pixel-stage code built before, ms")]:
        for name in names:
            latencies = [v for r in _select(runs, name, "fxview") for v in (r.get("reload_latency_ms") or [])[part]]
            if not latencies:
                continue
            missed = sum(1 for v in latencies if v is None)
            over = [v - compile_ms[name] for v in latencies if v is not None]
            frame = [1000.0 / run_fps(r) for r in _select(runs, name, "fxview") if run_fps(r)]
            note = f"compile {compile_ms[name]:.0f} ms, one frame {spread(frame, 0)} ms; over the compile: {spread(over, 0)}"
            if missed:
                note += f"; {missed} presses showed no new frame"
            row(measure, name, "–", spread(latencies, 0), note, "≤ compile + 20")
    for name in names:
        rss = lambda r: r["rss_10s_kib"] / MIB if r.get("rss_10s_kib") else None
        row("resident memory at 10 s, MiB", name, spread([rss(r) for r in _select(runs, name, "baseline")]),
            spread([rss(r) for r in _select(runs, name, "fxview")]), spread(_paired(runs, name, rss), 2), "")
    for name in names:
        held = [r for r in _select(runs, name, "fxview") if r.get("rss_after_reloads_kib")]
        if not held:
            continue
        counts = [r["reloads_total"] - r.get("reloads_before_hold", 0) for r in held]
        first = [r["rss_first_reload_kib"] / MIB for r in held]
        after = [r["rss_after_reloads_kib"] / MIB for r in held]
        growth = [a - f for a, f in zip(after, first)]
        row(f"resident memory after the first reload → after {min(counts)}+ reloads, MiB", name, "–",
            f"{spread(first)} → {spread(after)}", f"growth {spread(growth)} MiB", "growth ≤ 2")
    for name in names:
        base = _select(runs, name, "baseline", "alloc")
        fx = _select(runs, name, "fxview", "alloc")
        cell = lambda rs, key: spread([r.get(key) for r in rs], 2) if rs else "–"
        row("heap allocations per steady frame: all threads", name, cell(base, "allocs_per_frame"),
            cell(fx, "allocs_per_frame"), "", "")
        row("… of them on the main thread", name, cell(base, "allocs_per_frame_main"),
            cell(fx, "allocs_per_frame_main"), "", "")
        row("… of them called from the executable's own code", name, cell(base, "allocs_per_frame_own"),
            cell(fx, "allocs_per_frame_own"), "", "0 in the platform layer")
    return "\n".join(rows)


def plot(runs, names, path):
    """Histograms of the intervals between presented frames, per shader set; False without matplotlib."""
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        return False
    figure, axes = plt.subplots(1, len(names), figsize=(6 * len(names), 4.2))
    for axis, name in zip(axes, names):
        series = {p: [v for r in _select(runs, name, p) for v in r.get("frame_ms") or []] for p in ["baseline", "fxview"]}
        pooled = sorted(series["baseline"] + series["fxview"])
        if not pooled:
            continue
        top = pooled[int(0.995 * (len(pooled) - 1))]
        bins = [top * i / 80 for i in range(81)]
        for program, colour in [("baseline", "tab:blue"), ("fxview", "tab:orange")]:
            values = series[program]
            if values:
                axis.hist(values, bins=bins, histtype="step", linewidth=1.5, color=colour, density=True,
                          label=f"{program}: median {statistics.median(values):.2f} ms, n={len(values)}")
        axis.set_title(f"{name}: time between presented frames")
        axis.set_xlabel("ms (as seen by an X client watching the window)")
        axis.set_ylabel("density")
        axis.legend()
    figure.tight_layout()
    figure.savefig(path, dpi=90)
    return True


def document(table_text, machine, args, held_set, plot_name):
    lines = [
        "# fxview benchmark results",
        "",
        f"Measured {machine['date']} at commit {machine['commit']} by `make bench` "
        f"({args.rounds} rounds, {args.seconds:.0f} s of steady running per run, {args.presses} timed F5 presses "
        f"per fxview run, {args.reloads} reloads with F5 held in the first fxview run on {held_set}).",
        f"Machine: {machine['cpu']}, {machine['cores']} cores, Linux {machine['kernel']}, lavapipe from Mesa "
        f"{machine['mesa']}, each run on a fresh Xvfb 1920x1080x24.",
        "The machine is shared with other engineers' builds and is noisy: compare the two programs through the "
        "ratio of runs in the same round, not through absolute figures.",
        "",
        "Each cell is the median over rounds, with min and max in brackets. The ratio is taken round by round "
        "between runs made one after the other.",
        "",
        table_text,
        "",
    ]
    if plot_name:
        lines += [f"![time between presented frames]({plot_name})", ""]
    lines += [
        "## How each figure is measured",
        "",
        "- Both programs run unmodified, fxview as `make run` builds it, in a scratch folder holding the shader "
        "file as `main.fx`. The baseline (`bench/baseline/`) is direct Vulkan 1.3: the same SPIR-V from the same "
        "compiler code, the same buffer sizes, clear colour, present mode and window size, and the same console "
        "lines; it draws straight into the swapchain image. So does fxview, for every frame that begins by "
        "clearing the whole back buffer while the window has the back buffer's size.",
        "- `frame_watch` (bench/frame_watch.cpp) is an X client on the same display. It sees every frame "
        "presented into the window through the X DAMAGE extension, reads the window's centre pixel back when "
        "asked, and presses keys through XTEST. All times are CLOCK_MONOTONIC.",
        "- Mesa's on-disk shader cache is off in every run (MESA_SHADER_CACHE_DISABLE), so that each start-up and "
        "each reload builds its pipelines as a new shader does, whichever program ran before.",
        "- Frames per second: the programs' own once-a-second report, the median of those from 3 s to the end of "
        "the steady stretch. The plot shows the intervals between frames as frame_watch saw them.",
        "- CPU cores busy: user plus system time from /proc of the program (all its threads, lavapipe's "
        "included) and of the Xvfb showing it, over the same stretch, divided by its wall-clock length. The "
        "frame rate of a run is bounded by the cores it got: on this 2-core machine shared with other work, a "
        "ratio of frame rates means little unless the two runs got the same share. CPU time per frame is the "
        "cores busy divided by the program's own frame rate: what a frame costs rather than how long it waited.",
        "- Start-up: from just before the program is started to the first frame whose centre pixel is neither "
        "black (the window's background) nor white.",
        "- F5 reload latency: the shader file is replaced by a variant whose pixel stage paints a flat colour "
        "(magenta, then green), then F5 goes down through XTEST; the latency ends at the first frame showing "
        "that colour. The compile time beside it is the project's compiler building the pixel and compute stages "
        "of the same variant (bench/compile_time.cpp), the median of 7. The first two presses of a run bring "
        "pixel-stage code new to the device; the later ones bring back the code of two presses before, whose "
        "pipelines fxview's platform layer still keeps (those of the last eight shader codes released). The "
        "compute stage is the same code in every variant, so its pipeline is kept throughout.",
        "- Resident memory: VmRSS from /proc, at 10 s, 1 s after the first timed reload, and 1 s after F5 has "
        "been held down (which reloads on every frame) until the program has printed the given number of "
        "\"Loaded.\" lines.",
        "- Heap allocations: a separate run of each program with bench/alloc_count.cpp preloaded (LD_PRELOAD), "
        "which counts malloc, calloc, realloc, the aligned allocations and operator new; counts are read at 4 s "
        "and 9 s and divided by the frames frame_watch saw in between. \"Own code\" counts the calls made "
        "straight from the executable, which for fxview holds the program and the statically linked platform "
        "layer; the rest are made by lavapipe (on its own threads, and for each command recorded), libxcb and "
        "the other shared libraries, for both programs alike.",
        "",
        "## What bounds the figures on lavapipe",
        "",
        "- Frame rate: on the trivial shaders a frame is mostly the present, one 3.6 MB image written to the X "
        "server; on main.fx it is mostly the compute stage, run on the CPU. Both programs share the two cores "
        "with Xvfb and lavapipe's threads, and with whatever else the machine runs.",
        "- Start-up: fxview zeroes its 14 MB buffer and its back buffer before the first frame, since Direct3D "
        "11's new resources read as zeros; the baseline leaves memory as Vulkan gives it, and on trivial.fx never "
        "touches the buffer at all. On this virtual machine the page faults of first touching those 18 MB cost "
        "about 40 ms: an experimental build that skipped both fills waited 64-93 ms for its first frame "
        "instead of 120-153 ms.",
        "- Reload latency: lavapipe compiles a pipeline into machine code when it is first used, so the first "
        "frame with new pixel-stage code pays for a new graphics pipeline (vertex and pixel stages) on top of "
        "the HLSL compile; the baseline pays the same on its first frame. A reload to code whose pipelines "
        "are kept pays the HLSL compile, the frame, and the fill of the program's new 14 MB buffer; on main.fx "
        "one frame alone is about 20 ms.",
        "- Memory after many reloads: reloading an unchanged file builds nothing new in the driver, since "
        "shaders of identical code share pipelines. A reload that compiles new pipelines leaves about 0.7 KB in "
        "LLVM's heap: a census of live heap bytes by calling library, taken when every reload still compiled "
        "both pipelines, gave after 50 and after 400 reloads libLLVM +236 KB, lavapipe +22 KB, libX11 +6 KB "
        "and fxview's own code -0.2 KB.",
        "",
    ]
    return "\n".join(lines)
