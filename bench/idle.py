#!/usr/bin/env python3
"""Idle cost of Quorvane.exe against qbaseline.exe, the least a memory tray tool can be.

Both run under Wine in one private Xvfb and prefix, one after the other, so each idle phase has
the desktop to itself and the shared side (wineserver, the desktop process, the X server) can be
charged to the program that ran. Figures are taken from the Linux process of each Windows
program, never from the `wine` launcher. Printed as a table with ratios Quorvane / baseline.

    python3 bench/idle.py [--seconds 60] [--starts 7] [--settle 5] [--windows 6] [--check]

A minute of idle holds some 35 ms of CPU, three or four 10 ms clock ticks: one tick more or less
moves a ratio by a third. So the CPU figure is each thread's own nanosecond clock (schedstat),
taken in several windows of the phase; the median window, scaled to the phase, is what the ratio
and --check use, so one stray repaint or timer in one window does not decide it.
"""
import argparse
import os
import pathlib
import signal
import statistics
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "tests" / "e2e"))
from winenv import WIN_BUILD, WineSession  # noqa: E402

PREFIX = WIN_BUILD / "wineprefix-bench"  # never the tests' prefix: a bench may run beside them
WAITER = WIN_BUILD / "qwaitvisible.exe"
CLK_TCK = os.sysconf("SC_CLK_TCK")
PAGE = os.sysconf("SC_PAGE_SIZE")
# What users get: the 32-bit exe, whichever build runs under Wine here.
SHIPPED_EXE = WIN_BUILD.parent / "win" / "Quorvane.exe"

# Quorvane / baseline ratios a run must stay within for --check (and the shipped exe's size).
TARGETS = {
    "cpu first minute": 1.2,   # --settle under 60: the update attempts fall into the phase
    "cpu steady": 1.15,        # --settle 60 or more: after them
    "resident": 1.25,
    "private": 1.4,
    "start": 1.15,
}
EXE_TARGET_KIB = 256


class Program:
    def __init__(self, label, exe, window_class):
        self.label = label
        self.exe = pathlib.Path(exe)
        self.window_class = window_class
        self.starts = []  # seconds from launch to a visible window
        self.idle = {}


PROGRAMS = [
    Program("baseline", WIN_BUILD / "qbaseline.exe", "QBaselineWnd"),
    # The test build: its update check goes to a loopback port where nothing listens, as on a
    # machine without network, and never to the maker's host. Same code and size as the shipped exe.
    Program("Quorvane", WIN_BUILD / "loopback" / "Quorvane.exe", "TFrmQuorvane"),
]


# --- /proc ---------------------------------------------------------------------------------

def _read(path, mode="r"):
    try:
        with open(path, mode) as f:
            return f.read()
    except OSError:
        return None


def in_prefix(pid, prefix):
    env = _read(f"/proc/{pid}/environ", "rb")
    return env is not None and b"WINEPREFIX=" + str(prefix).encode() in env.split(b"\0")


def find_pids(prefix, name):
    """Linux processes of the prefix whose program (first word of the command line) is NAME."""
    name = name.lower()
    found = []
    for d in os.listdir("/proc"):
        if not d.isdigit():
            continue
        cmd = _read(f"/proc/{d}/cmdline", "rb")
        if not cmd:
            continue
        # Wine shows a Windows path (C:\...\explorer.exe) or the Unix one it was started with.
        prog = cmd.split(b"\0")[0].decode("utf-8", "replace").replace("\\", "/").rsplit("/", 1)[-1].lower()
        if prog == name and in_prefix(d, prefix):
            found.append(int(d))
    return found


def find_one(prefix, name, timeout=10):
    deadline = time.monotonic() + timeout
    while True:
        pids = find_pids(prefix, name)
        if len(pids) == 1:
            return pids[0]
        if len(pids) > 1:
            raise RuntimeError(f"more than one {name} in the bench prefix: {pids}")
        if time.monotonic() > deadline:
            raise RuntimeError(f"no process for {name}")
        time.sleep(0.05)


def cpu_ticks(pid):
    """utime + stime of the whole process (live and ended threads), in seconds."""
    stat = _read(f"/proc/{pid}/stat")
    if stat is None:
        raise RuntimeError(f"process {pid} has gone")
    fields = stat[stat.rindex(")") + 2:].split()
    return (int(fields[11]) + int(fields[12])) / CLK_TCK


def cpu_threads_ns(pid):
    """On-CPU nanoseconds per live thread; finer than the clock ticks."""
    out = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        s = _read(f"/proc/{pid}/task/{tid}/schedstat")
        if s:
            out[tid] = int(s.split()[0])
    return out


def memory(pid):
    st = _read(f"/proc/{pid}/status") or ""
    kb = {k: int(v.split()[0]) for k, v in (line.split(":", 1) for line in st.splitlines() if ":" in line)
          if k in ("VmHWM", "VmRSS", "Threads")}
    roll = _read(f"/proc/{pid}/smaps_rollup") or ""
    private = sum(int(line.split()[1]) for line in roll.splitlines()
                  if line.startswith(("Private_Clean:", "Private_Dirty:")))
    # Clean private pages are files only this process maps (a font, a library): the kernel can
    # drop them at will. What the program wrote is the dirty part.
    dirty = sum(int(line.split()[1]) for line in roll.splitlines() if line.startswith("Private_Dirty:"))
    return {"hwm": kb.get("VmHWM", 0) * 1024, "rss": kb.get("VmRSS", 0) * 1024,
            "private": private * 1024, "dirty": dirty * 1024, "threads": kb.get("Threads", 0)}


# --- Wine ----------------------------------------------------------------------------------

def output_of(p):
    p.output_file.flush()
    return os.pread(p.output_file.fileno(), 65536, 0).decode("utf-8", "replace")


def wait_for_output(p, text, timeout):
    deadline = time.monotonic() + timeout
    while text not in output_of(p):
        if p.poll() is not None or time.monotonic() > deadline:
            raise RuntimeError(f"{pathlib.Path(p.args[1]).name} did not print {text!r}: {output_of(p)!r}")
        time.sleep(0.005)


def launch_timed(session, prog, timeout=30):
    """Starts PROG with no argument; returns (Popen, Linux pid, seconds to its visible window).

    The waiter polls before the program starts, so Wine's own start of the waiter is not timed.
    """
    waiter = session.start(WAITER, prog.window_class, str(timeout * 1000))
    wait_for_output(waiter, "ready", timeout)
    t0 = time.time()
    p = session.start(prog.exe)
    try:
        code = waiter.wait(timeout=timeout + 5)
    except Exception:
        code = None
    if code != 0:
        raise RuntimeError(f"{prog.label}: no visible window of class {prog.window_class} within {timeout} s")
    seen = float(output_of(waiter).split()[-1])
    pid = find_one(session.prefix, prog.exe.name)
    return p, pid, seen - t0


def stop(session, p, pid, prog):
    """Ends the program at once; its window and single-instance mutex go with the process."""
    try:
        os.kill(pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    p.wait(timeout=30)
    deadline = time.monotonic() + 10
    while pid in find_pids(session.prefix, prog.exe.name) or _read(f"/proc/{pid}/stat"):
        if time.monotonic() > deadline:
            raise RuntimeError(f"{prog.label} did not end")
        time.sleep(0.02)
    # The next start must not find the old window still registered.
    gone = session.run(WAITER, "--gone", prog.window_class, "10000", timeout=30)
    if gone.returncode != 0:
        raise RuntimeError(f"{prog.label}: window still there after the process ended")


def shared_pids(session):
    pids = {"wineserver": find_pids(session.prefix, "wineserver32") + find_pids(session.prefix, "wineserver"),
            "explorer": find_pids(session.prefix, "explorer.exe"), "Xvfb": [session.xvfb.pid]}
    return pids


def shared_cpu(pids):
    return {k: sum(cpu_ticks(p) for p in v) for k, v in pids.items()}


def idle_phase(session, prog, seconds, settle, windows):
    p, pid, start = launch_timed(session, prog)
    prog.starts.append(start)
    time.sleep(settle)  # let start-up work (the update check, the tray) finish; not measured
    shared = shared_pids(session)
    c0, n0, s0 = cpu_ticks(pid), cpu_threads_ns(pid), shared_cpu(shared)
    t0 = time.monotonic()
    # Threads are sampled through the phase, so one that ends (the update check's worker) keeps
    # its last reading instead of dropping out of the nanosecond figure.
    n1 = dict(n0)
    samples = [(0.0, 0)]  # (seconds into the phase, on-CPU ns since its start)

    def sample():
        n1.update(cpu_threads_ns(pid))
        samples.append((time.monotonic() - t0, sum(v - n0.get(t, 0) for t, v in n1.items())))

    while time.monotonic() < t0 + seconds:
        time.sleep(min(0.25, max(0.0, t0 + seconds - time.monotonic())))
        sample()
    c1, s1 = cpu_ticks(pid), shared_cpu(shared)
    elapsed = time.monotonic() - t0
    mem = memory(pid)
    if p.poll() is not None or mem["rss"] == 0:
        raise RuntimeError(f"{prog.label} ended during the idle phase")
    prog.idle = {
        "elapsed": elapsed,
        "cpu": c1 - c0,
        # A thread's last half second before it ended is the only part this can miss.
        "cpu_ns": samples[-1][1] / 1e9,
        "cpu_windows": window_cpu(samples, seconds, windows),
        "shared": {k: s1[k] - s0[k] for k in s0},
        **mem,
    }
    session.screenshot(WIN_BUILD / f"bench-{prog.label}.png")
    stop(session, p, pid, prog)


def window_cpu(samples, seconds, windows):
    """On-CPU seconds in each of WINDOWS equal parts of the phase, from the samples."""
    def at(t):
        return next((ns for s, ns in samples if s >= t), samples[-1][1])
    bounds = [seconds * i / windows for i in range(windows + 1)]
    return [(at(b) - at(a)) / 1e9 for a, b in zip(bounds, bounds[1:])]


def median_cpu(prog):
    """The median window's CPU, scaled to the whole phase."""
    w = prog.idle["cpu_windows"]
    return statistics.median(w) * len(w)


# --- report --------------------------------------------------------------------------------

def ratio(q, b):
    if q is None or b is None:
        return "n/a"
    if b == 0:
        return "n/a (baseline 0)" if q else "n/a (both 0)"
    return f"{q / b:.2f}"


def report(seconds, starts):
    b, q = PROGRAMS
    mib = 1048576
    rows = [
        ("exe size (KiB)", b.exe.stat().st_size / 1024, q.exe.stat().st_size / 1024, "{:.1f}"),
        ("  shipped 32-bit exe (KiB)", None, SHIPPED_EXE.stat().st_size / 1024 if SHIPPED_EXE.exists() else None,
         "{:.1f}"),
        (f"start to visible window, median of {starts} (ms)", statistics.median(b.starts) * 1000,
         statistics.median(q.starts) * 1000, "{:.0f}"),
        ("  fastest start (ms)", min(b.starts) * 1000, min(q.starts) * 1000, "{:.0f}"),
        (f"CPU in {seconds:g} s idle, utime+stime (ms)", b.idle["cpu"] * 1000, q.idle["cpu"] * 1000, "{:.0f}"),
        ("  same, per thread on-CPU clock (ms)", b.idle["cpu_ns"] and b.idle["cpu_ns"] * 1000,
         q.idle["cpu_ns"] and q.idle["cpu_ns"] * 1000, "{:.1f}"),
        (f"  median of {len(b.idle['cpu_windows'])} windows, scaled to the phase (ms)",
         median_cpu(b) * 1000, median_cpu(q) * 1000, "{:.1f}"),
        ("  per hour idle (s)", b.idle["cpu"] / b.idle["elapsed"] * 3600,
         q.idle["cpu"] / q.idle["elapsed"] * 3600, "{:.2f}"),
        ("peak resident, VmHWM (MiB)", b.idle["hwm"] / mib, q.idle["hwm"] / mib, "{:.1f}"),
        ("resident after idle, VmRSS (MiB)", b.idle["rss"] / mib, q.idle["rss"] / mib, "{:.1f}"),
        ("  of it private (MiB)", b.idle["private"] / mib, q.idle["private"] / mib, "{:.1f}"),
        ("    of that written, Private_Dirty (MiB)", b.idle["dirty"] / mib, q.idle["dirty"] / mib, "{:.1f}"),
        ("threads after idle", b.idle["threads"], q.idle["threads"], "{:d}"),
    ]
    for k in b.idle["shared"]:
        rows.append((f"{k} CPU in the same idle phase (ms)", b.idle["shared"][k] * 1000,
                     q.idle["shared"][k] * 1000, "{:.0f}"))

    def cell(fmt, v):
        return "n/a" if v is None else fmt.format(v)

    width = max(len(r[0]) for r in rows)
    print(f"\n{'':<{width}}  {'baseline':>10}  {'Quorvane':>10}  {'ratio Q/b':>10}")
    for name, bv, qv, fmt in rows:
        print(f"{name:<{width}}  {cell(fmt, bv):>10}  {cell(fmt, qv):>10}  {ratio(qv, bv):>10}")
    print(f"\nCPU clock ticks are {1000 // CLK_TCK} ms; idle phases ran "
          f"{b.idle['elapsed']:.1f} s and {q.idle['elapsed']:.1f} s, each program alone on the desktop.")
    print("CPU windows (ms): baseline " + " ".join(f"{w * 1000:.1f}" for w in b.idle["cpu_windows"])
          + "; Quorvane " + " ".join(f"{w * 1000:.1f}" for w in q.idle["cpu_windows"]))
    print("Ratios (Quorvane / baseline): "
          f"idle CPU {ratio(median_cpu(q), median_cpu(b))}, "
          f"resident {ratio(q.idle['rss'], b.idle['rss'])} (peak {ratio(q.idle['hwm'], b.idle['hwm'])}), "
          f"start to visible {ratio(statistics.median(q.starts), statistics.median(b.starts))}, "
          f"exe size {ratio(q.exe.stat().st_size, b.exe.stat().st_size)}")


def check(settle):
    """Each ratio against its target; returns the names of those over it."""
    b, q = PROGRAMS

    def over_ratio(qv, bv):
        # A baseline of 0 cannot be beaten by anything but 0.
        if bv == 0:
            return 0.0 if qv == 0 else float("inf")
        return qv / bv

    # The first minute holds the update attempts, so it is judged on the whole phase; once they are
    # over, on the median window, which one stray repaint does not move.
    if settle < 60:
        figures = {"cpu first minute": over_ratio(q.idle["cpu_ns"], b.idle["cpu_ns"])}
    else:
        figures = {"cpu steady": over_ratio(median_cpu(q), median_cpu(b))}
    figures["resident"] = over_ratio(q.idle["rss"], b.idle["rss"])
    figures["private"] = over_ratio(q.idle["private"], b.idle["private"])
    figures["start"] = over_ratio(statistics.median(q.starts), statistics.median(b.starts))
    over = []
    print()
    for name, value in figures.items():
        ok = value <= TARGETS[name]
        print(f"{'ok  ' if ok else 'OVER'} {name}: {value:.2f} (target {TARGETS[name]})")
        if not ok:
            over.append(name)
    if SHIPPED_EXE.exists():
        kib = SHIPPED_EXE.stat().st_size / 1024
        ok = kib <= EXE_TARGET_KIB
        print(f"{'ok  ' if ok else 'OVER'} shipped exe: {kib:.1f} KiB (target {EXE_TARGET_KIB} KiB)")
    else:
        ok = False
        print(f"OVER shipped exe: {SHIPPED_EXE} is missing (target {EXE_TARGET_KIB} KiB)")
    if not ok:
        over.append("exe size")
    return over


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--seconds", type=float, default=60, help="length of each idle phase (default 60)")
    ap.add_argument("--starts", type=int, default=7, help="timed starts of each program (default 7)")
    ap.add_argument("--settle", type=float, default=5, help="seconds after start before idle is measured")
    ap.add_argument("--windows", type=int, default=6, help="windows of each idle phase for the median (default 6)")
    ap.add_argument("--check", action="store_true", help="exit 1 when a ratio is over its target")
    args = ap.parse_args()
    # A terminated run must still end the Wine processes and the X server it started.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("terminated"))
    for exe in [WAITER] + [p.exe for p in PROGRAMS]:
        if not exe.exists():
            sys.exit(f"{exe} is missing: run scripts/build first")

    with WineSession(prefix=PREFIX) as session:
        # A copy left running here would take over our starts through the single-instance check.
        for prog in PROGRAMS:
            if find_pids(session.prefix, prog.exe.name):
                sys.exit(f"{prog.exe.name} is already running in {PREFIX}")
        # The first window of a fresh server brings up the desktop and its taskbar: not timed.
        warm = PROGRAMS[0]
        p, pid, _ = launch_timed(session, warm, timeout=120)
        stop(session, p, pid, warm)

        # Alternate the order so neither program always follows the other.
        for i in range(args.starts - 1):
            for prog in (PROGRAMS if i % 2 == 0 else PROGRAMS[::-1]):
                p, pid, t = launch_timed(session, prog)
                prog.starts.append(t)
                print(f"{prog.label}: start to visible {t * 1000:.0f} ms", file=sys.stderr, flush=True)
                stop(session, p, pid, prog)
        # Each idle phase begins with one more timed start.
        for prog in PROGRAMS:
            print(f"{prog.label}: {args.seconds:g} s idle ...", file=sys.stderr, flush=True)
            idle_phase(session, prog, args.seconds, args.settle, max(1, args.windows))

    report(args.seconds, args.starts)
    if args.check:
        return 1 if check(args.settle) else 0
    return 0


if __name__ == "__main__":
    sys.exit(main())
