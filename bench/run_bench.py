#!/usr/bin/python3
"""Runs the bench programs of a build and prints one table.

Every figure is compared with a baseline measured in the same run, the two
interleaved repetition by repetition; each cell gives min / median / max over
the repetitions. scripts/bench builds an optimised tree and calls this; the
test suite calls it with --quick on the test build, to see that the table is
still produced.

    run_bench.py --bin BUILD/bin [--reps N] [--quick] [--only startup|library]
"""

import argparse
import json
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

PYTHON = "/usr/bin/python3"
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

MIDO_READ = r"""
import sys, time, statistics, mido
path, reads = sys.argv[1], int(sys.argv[2])
def read():
    data = []
    for track in mido.MidiFile(path).tracks:
        for message in track:
            if message.type == "sysex":
                data.append(0xF0); data.extend(message.data); data.append(0xF7)
    return data
read()
times = []
for _ in range(reads):
    start = time.perf_counter()
    read()
    times.append((time.perf_counter() - start) * 1e6)
print(" ".join("%.2f" % t for t in times))
"""


class Skipped(Exception):
    """A row that cannot be measured here (a program or package is missing)."""


def spread(values, unit="", digits=1, sign=False):
    """'min / median / max unit' of a list of numbers."""
    fmt = "%+.*f" if sign else "%.*f"
    parts = [fmt % (digits, v) for v in (min(values), statistics.median(values), max(values))]
    text = parts[0] if len(set(parts)) == 1 else "/".join(parts)
    return text + (" " + unit if unit else "")


# --- Start-up and memory -----------------------------------------------------


def scratch_program_folder(bin_dir, scratch):
    """The editor in a folder of its own (its autosave set goes there), with
    a saved set in place as after an ordinary run."""
    os.makedirs(scratch, exist_ok=True)
    for name in ("kestrow-editor", "libmididrv.so", "libkestrow-print.so", "FactoryPresets.MID",
                 "FactoryPresets.CFG", "FactoryPresets.NTS", "Info.txt"):
        source, target = os.path.join(bin_dir, name), os.path.join(scratch, name)
        if os.path.exists(target):
            os.remove(target)
        try:
            os.link(source, target)
        except OSError:
            shutil.copy2(source, target)
    editor = os.path.join(scratch, "kestrow-editor")
    # One run closed by SIGTERM writes Config.*, as the user's last exit did.
    env = dict(os.environ, KESTROW_FIRST_PAINT="report", QT_QPA_PLATFORM="offscreen")
    process = start_reporting([editor], env)[0]
    process.send_signal(signal.SIGTERM)
    process.wait(timeout=20)
    return editor


def start_reporting(command, env):
    """Starts a program that reports its first paint; returns the process and
    the milliseconds from the start to that paint."""
    started = time.monotonic_ns()
    process = subprocess.Popen(command, env=env, stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, text=True)
    # A program of others may print lines of its own first.
    line = []
    while not line or line[0] != "first-paint":
        text = process.stdout.readline()
        if not text:
            process.kill()
            process.wait()
            raise RuntimeError("%s did not report its first paint" % command[0])
        line = text.split()
    return process, (int(line[1]) - started) / 1e6, line[2:5]


def peak_rss_mib(process, idle):
    """VmHWM after `idle` seconds of rest; the process is then killed."""
    time.sleep(idle)
    with open("/proc/%d/status" % process.pid) as status:
        peak = next(int(l.split()[1]) for l in status if l.startswith("VmHWM:"))
    process.kill()
    process.wait()
    return peak / 1024.0


QJACKCTL_CONFIG = """[Options]
StartJack=false
AlsaSeqEnabled=false
SystemTray=false
Singleton=false
StdoutCapture=false
"""


def qjackctl_command(bin_dir, env):
    """qjackctl with the bench's paint probe preloaded, in a home of its own
    that starts no JACK server, opens no ALSA sequencer (the boxes it shows
    without one would stop it) and leaves stdout alone (the probe reports
    there); None when it or the probe is missing."""
    probe = os.path.join(bin_dir, "libpaint_probe.so")
    if not shutil.which("qjackctl") or not os.path.exists(probe):
        return None
    home = tempfile.mkdtemp(prefix="bench-qjackctl-", dir=bin_dir)
    os.makedirs(os.path.join(home, ".config", "rncbc.org"))
    with open(os.path.join(home, ".config", "rncbc.org", "QjackCtl.conf"), "w") as conf:
        conf.write(QJACKCTL_CONFIG)
    env.update(HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"), LD_PRELOAD=probe,
               JACK_NO_START_SERVER="1")
    return [shutil.which("qjackctl")]


def measure_startup(bin_dir, editor, platform, reps, idle, settle):
    """Samples of each program: start-up ms and peak RSS MiB, interleaved. The
    bare window with one label is the baseline: what any window with text
    costs; qjackctl, when installed, an outside one. After each run the next
    waits `settle` seconds: the X server is still freeing the killed client's
    resources, and a start at once would share the CPU with that (a bare
    window under Xvfb took 44.5 instead of 28.7 ms)."""
    env = dict(os.environ, KESTROW_FIRST_PAINT="report", QT_QPA_PLATFORM=platform)
    process, _, shape = start_reporting([editor], env)  # warm-up, and the window's shape
    process.kill()
    process.wait()
    bare = [os.path.join(bin_dir, "bare_window")] + shape[:3]
    programs = [("editor", [editor], env), ("bare", bare, env), ("label", bare + ["label"], env),
                ("widgets", bare + ["widgets"], env)]
    qjackctl_env = dict(env)
    qjackctl = qjackctl_command(bin_dir, qjackctl_env)
    if qjackctl:
        programs.append(("qjackctl", qjackctl, qjackctl_env))
    samples = {name: {"ms": [], "mib": []} for name, _, _ in programs}
    try:
        for rep in range(reps):
            for name, command, program_env in programs if rep % 2 == 0 else reversed(programs):
                process, ms = start_reporting(command, program_env)[:2]
                samples[name]["ms"].append(ms)
                samples[name]["mib"].append(peak_rss_mib(process, idle))
                time.sleep(settle)
    finally:
        if qjackctl:
            shutil.rmtree(qjackctl_env["HOME"], ignore_errors=True)
    return samples


def startup_under_xvfb(args, editor):
    if not shutil.which("Xvfb"):
        raise Skipped("Xvfb is not installed")
    command = [os.path.join(ROOT, "scripts", "with-xvfb"), PYTHON, os.path.abspath(__file__),
               "--bin", args.bin, "--reps", str(args.reps), "--startup-child", editor]
    if args.quick:
        command.append("--quick")
    out = subprocess.run(command, capture_output=True, text=True, timeout=600)
    if out.returncode != 0 or not out.stdout.strip():
        raise Skipped("Xvfb run failed: " + out.stderr.strip().splitlines()[-1:][0]
                      if out.stderr.strip() else "Xvfb run failed")
    return json.loads(out.stdout.strip().splitlines()[-1])


def idle_load(editor, seconds):
    """CPU % and wake-ups (context switches of all threads) per second of an
    editor resting after its start, offscreen."""
    env = dict(os.environ, KESTROW_FIRST_PAINT="report", QT_QPA_PLATFORM="offscreen")
    process = start_reporting([editor], env)[0]

    def sample():
        ticks = switches = 0
        for task in os.listdir("/proc/%d/task" % process.pid):
            base = "/proc/%d/task/%s/" % (process.pid, task)
            with open(base + "stat") as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
            ticks += int(fields[11]) + int(fields[12])
            with open(base + "status") as status:
                switches += sum(int(l.split()[1]) for l in status if "ctxt_switches" in l)
        return ticks, switches, time.monotonic()

    try:
        time.sleep(1.0)  # past the Program Change that follows start-up
        before = sample()
        time.sleep(seconds)
        after = sample()
    finally:
        process.kill()
        process.wait()
    elapsed = after[2] - before[2]
    cpu = 100.0 * (after[0] - before[0]) / os.sysconf("SC_CLK_TCK") / elapsed
    return cpu, (after[1] - before[1]) / elapsed


# --- Dump read -----------------------------------------------------------------


def measure_dump_read(bin_dir, reps, reads):
    dump = os.path.join(bin_dir, "FactoryPresets.MID")
    probe = subprocess.run([PYTHON, "-c", "import mido"], capture_output=True)
    if probe.returncode != 0:
        raise Skipped("python3-mido is not installed")
    ours = [os.path.join(bin_dir, "dump_read_bench"), dump, str(reads)]
    theirs = [PYTHON, "-c", MIDO_READ, dump, str(reads)]
    samples = {"kestrow": [], "mido": []}
    for rep in range(reps):
        order = (("kestrow", ours), ("mido", theirs))
        for name, command in order if rep % 2 == 0 else reversed(order):
            out = subprocess.run(command, capture_output=True, text=True, check=True, timeout=120)
            samples[name].append(statistics.median(float(v) for v in out.stdout.split()))
    return samples


# --- The library: many sets at once ------------------------------------------

FIND_ARGS = ["--event", "Controller", "--param", "74", "--channel", "2"]


def measure_library(bin_dir, reps, sets):
    """Generates `sets` sets from the factory set (library_bench generate),
    then per repetition, interleaved: kestrow-cli find over the folder in one
    call, and the same search as a shell loop of single-file calls; and the
    window figures library_bench reports. Seconds for the CLI, ms for the window."""
    scratch = tempfile.mkdtemp(prefix="bench-library-", dir=bin_dir)
    try:
        folder = os.path.join(scratch, "sets")
        factory = os.path.join(bin_dir, "FactoryPresets.MID")
        subprocess.run([os.path.join(bin_dir, "library_bench"), "generate", factory, folder,
                        str(sets)], check=True, timeout=600)
        cli = os.path.join(bin_dir, "kestrow-cli")
        one_call = [cli, "find", folder] + FIND_ARGS
        loop = ["sh", "-c", 'find "$1" -name "*.MID" | while read -r f; do "$2" find "$f" %s; '
                'done' % " ".join(FIND_ARGS), "loop", folder, cli]
        samples = {"one": [], "loop": [], "open": [], "empty": [], "search": [], "name": [],
                   "findloop": []}
        for rep in range(reps):
            order = (("one", one_call), ("loop", loop))
            for name, command in order if rep % 2 == 0 else reversed(order):
                started = time.monotonic()
                subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               timeout=600)
                samples[name].append(time.monotonic() - started)
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        out = subprocess.run([os.path.join(bin_dir, "library_bench"), "window", folder,
                              os.path.join(scratch, "window"), str(reps), factory],
                             capture_output=True, text=True, env=env, check=True, timeout=600)
        for line in out.stdout.splitlines():
            fields = dict(kv.split("=") for kv in line.split())
            for key, name in (("open_ms", "open"), ("empty_open_ms", "empty"),
                              ("search_ms", "search"), ("name_search_ms", "name"),
                              ("find_loop_ms", "findloop")):
                samples[name].append(float(fields[key]))
        return samples
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


def library_rows(table, samples, sets):
    one, loop = samples["one"], samples["loop"]
    ratios = [o / l for o, l in zip(one, loop)]
    table.add("kestrow-cli find, %d sets in one call (vs shell loop of single-file calls)" % sets,
              spread(loop, "s", 2), spread(one, "s", 3), spread(ratios, "x", 3),
              "< 1 s and <= 0.1x", statistics.median(one) < 1.0
              and statistics.median(ratios) <= 0.1)
    table.ratio_row("Library window opens, %d indexed sets (vs empty library)" % sets,
                    samples["empty"], samples["open"], "ms", "< 200 ms", None)
    table.rows[-1] = table.rows[-1][:5] + ("yes" if statistics.median(samples["open"]) < 200
                                           else "NO",)
    for key, what in (("search", "by assignment"), ("name", "by name")):
        table.ratio_row("Library search %s, %d sets (vs Find over one set x %d)"
                        % (what, sets, sets), samples["findloop"], samples[key], "ms", "< 50 ms",
                        None, 2)
        table.rows[-1] = table.rows[-1][:5] + ("yes" if statistics.median(samples[key]) < 50
                                               else "NO",)


# --- Paced sending -------------------------------------------------------------


def measure_pacing(bin_dir, delays, reps, quick):
    """Per (delay, load): the runs' deviation % and worst gap ms."""
    results = {(d, load): {"dev": [], "gap": [], "least": []}
               for d in delays for load in ("idle", "busy")}
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    for _ in range(reps):
        for delay in delays:
            for load in ("idle", "busy"):
                busy = []
                if load == "busy":
                    busy = [subprocess.Popen(["sh", "-c", "while :; do :; done"])
                            for _ in range(2)]
                try:
                    command = [os.path.join(bin_dir, "pacing_bench"), str(delay)]
                    if quick:
                        command.append("--banks")
                    out = subprocess.run(command, capture_output=True, text=True, env=env,
                                         timeout=delay * 600 + 60)
                finally:
                    for p in busy:
                        p.kill()
                        p.wait()
                fields = dict(kv.split("=") for kv in out.stdout.split() if "=" in kv)
                if out.returncode != 0 or "deviation_pct" not in fields:
                    raise RuntimeError("pacing_bench %d: %s" % (delay, out.stdout.strip()))
                cell = results[(delay, load)]
                cell["dev"].append(float(fields["deviation_pct"]))
                cell["gap"].append(float(fields["worst_gap_ms"]))
                cell["least"].append(float(fields["least_gap_ms"]))
    return results


# --- JACK round trip ----------------------------------------------------------


def wait_for_line(process, text, seconds):
    """Reads the process's output until a line holds text; False on timeout or exit."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        line = process.stdout.readline()
        if not line:
            return False
        if text in line:
            return True
    return False


def stop_all(started):
    """Ends the processes started, the last first."""
    for process in reversed(started):
        process.terminate()
        try:
            process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def start_sim(bin_dir, name, options, env, started):
    sim = subprocess.Popen([os.path.join(bin_dir, "zembra-sim"), "--name", name] + options,
                           env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    started.append(sim)
    if not wait_for_line(sim, "on JACK", 10):
        raise Skipped("zembra-sim did not come up on JACK")
    # Its log is not read from here on: a full pipe must not stall it.
    threading.Thread(target=sim.stdout.read, daemon=True).start()
    return sim


def measure_lossy_backup(bin_dir, reps, scratch):
    """Backs up a zembraDial through a link that loses 5 % of messages each
    way and through a loss-free one, interleaved: seconds, and whether each
    lossy backup came out byte-identical to the loss-free one."""
    if not shutil.which("jackd"):
        raise Skipped("jackd is missing")
    tag = "zlink-%d" % os.getpid()
    env = dict(os.environ, JACK_DEFAULT_SERVER=tag, JACK_NO_START_SERVER="1")
    started = []
    cli = os.path.join(bin_dir, "kestrow-cli")
    try:
        started.append(subprocess.Popen(["jackd", "-S", "-r", "-n", tag, "-d", "dummy", "-r",
                                         "48000", "-p", "64"], env=env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        time.sleep(1.0)
        start_sim(bin_dir, tag + "-clean", ["--variant", "dial"], env, started)
        start_sim(bin_dir, tag + "-lossy", ["--variant", "dial", "--loss-in", "5", "--loss-out",
                                            "5", "--seed", "11"], env, started)
        samples = {"clean": [], "lossy": [], "whole": []}
        for rep in range(reps):
            order = ("clean", "lossy") if rep % 2 == 0 else ("lossy", "clean")
            for name in order:
                out = os.path.join(scratch, "%s-%d.MID" % (name, rep))
                begin = time.monotonic()
                run = subprocess.run([cli, "backup", out, "--port", tag + "-" + name, "--delay",
                                      "50", "--dial"], capture_output=True, text=True, env=env,
                                     timeout=300)
                samples[name].append(time.monotonic() - begin)
                if name == "lossy":
                    samples["whole"].append(run.returncode == 0)
            samples["whole"][-1] &= (open(os.path.join(scratch, "lossy-%d.MID" % rep), "rb").read()
                                     == open(os.path.join(scratch, "clean-%d.MID" % rep),
                                             "rb").read())
        return samples
    finally:
        stop_all(started)


def measure_auto_delay(bin_dir, reps):
    """Sends the factory set to a zembraDial that needs 15 ms per message,
    with "--delay auto" and read-back: seconds, and whether every run ended
    "Sent and verified 128 presets"."""
    if not shutil.which("jackd"):
        raise Skipped("jackd is missing")
    tag = "zauto-%d" % os.getpid()
    env = dict(os.environ, JACK_DEFAULT_SERVER=tag, JACK_NO_START_SERVER="1")
    started = []
    try:
        started.append(subprocess.Popen(["jackd", "-S", "-r", "-n", tag, "-d", "dummy", "-r",
                                         "48000", "-p", "64"], env=env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        time.sleep(1.0)
        start_sim(bin_dir, tag + "-slow", ["--variant", "dial", "--message-time", "15"], env,
                  started)
        samples = {"seconds": [], "verified": []}
        for _ in range(reps):
            begin = time.monotonic()
            run = subprocess.run([os.path.join(bin_dir, "kestrow-cli"), "send",
                                  os.path.join(bin_dir, "FactoryPresets.MID"), "--port",
                                  tag + "-slow", "--delay", "auto", "--verify"],
                                 capture_output=True, text=True, env=env, timeout=300)
            samples["seconds"].append(time.monotonic() - begin)
            samples["verified"].append(run.returncode == 0
                                       and "Sent and verified 128 presets" in run.stdout)
        return samples
    finally:
        stop_all(started)


def measure_jack(bin_dir, reps, requests):
    program = os.path.join(bin_dir, "jack_roundtrip_bench")
    if not shutil.which("jackd") or not os.path.exists(program):
        raise Skipped("jackd or the JACK client library is missing")
    # Not "kestrow-...": the driver lists no port of a Kestrow program.
    tag = "zbench-%d" % os.getpid()
    env = dict(os.environ, JACK_DEFAULT_SERVER=tag, JACK_NO_START_SERVER="1")
    started = []
    try:
        jack = subprocess.Popen(["jackd", "-S", "-r", "-n", tag, "-d", "dummy", "-r", "48000",
                                 "-p", "64"], env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        started.append(jack)
        loop = None
        for _ in range(100):
            loop = subprocess.Popen([program, "loopback", tag + "-loop"], env=env,
                                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
            if wait_for_line(loop, "ready", 5):
                break
            loop.wait()
            loop = None
            time.sleep(0.1)
        if loop is None:
            raise Skipped("the JACK dummy server did not start")
        started.append(loop)
        sim = subprocess.Popen([os.path.join(bin_dir, "zembra-sim"), "--name", tag + "-sim"],
                               env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                               text=True)
        started.append(sim)
        if not wait_for_line(sim, "on JACK", 10):
            raise Skipped("zembra-sim did not come up on JACK")
        samples = {"raw": [], "editor": []}
        for rep in range(reps):
            order = (("raw", [program, "raw", tag + "-loop", str(requests)]),
                     ("editor", [program, "editor", tag + "-sim", str(requests)]))
            for name, command in order if rep % 2 == 0 else reversed(order):
                out = subprocess.run(command, capture_output=True, text=True, env=env,
                                     timeout=120)
                if out.returncode != 0:
                    raise RuntimeError("jack_roundtrip_bench %s: %s" % (name, out.stderr.strip()))
                samples[name].append(statistics.median(float(v) for v in out.stdout.split()) / 1e3)
        return samples
    finally:
        stop_all(started)


# --- The table ----------------------------------------------------------------


class Table:
    def __init__(self):
        self.rows = []

    def add(self, figure, baseline, kestrow, ratio, aim, met):
        self.rows.append((figure, baseline, kestrow, ratio, aim,
                          "-" if met is None else ("yes" if met else "NO")))

    def skip(self, figure, aim, why):
        self.rows.append((figure, "-", "skipped: " + why, "-", aim, "-"))

    def ratio_row(self, figure, base, ours, unit, aim_text, limit, digits=1):
        """Ours against base, repetition by repetition; met when the median
        ratio is at most limit (no limit: a reference row, met shows "-")."""
        ratios = [o / b for o, b in zip(ours, base)]
        met = None if limit is None else statistics.median(ratios) <= limit
        self.add(figure, spread(base, unit, digits), spread(ours, unit, digits),
                 spread(ratios, "x", 2), aim_text, met)

    def print(self, title):
        head = ("Figure", "Baseline", "Kestrow", "Ratio", "Aim", "Met")
        widths = [max(len(r[i]) for r in self.rows + [head]) for i in range(len(head))]
        line = lambda r: "  ".join(c.ljust(w) for c, w in zip(r, widths)).rstrip()
        print(title)
        print(line(head))
        print(line(["-" * w for w in widths]))
        for row in self.rows:
            print(line(row))


def startup_rows(table, samples, where, startup_aim, rss_aim, qjackctl_aim):
    """The editor against the bare window with one label (the floor for any
    window that shows text), each followed by two reference rows against the
    same baseline: the bare window without text, and a window of the stock Qt
    widgets the editor's window is made of, with no program behind them (what
    the toolkit alone costs for that window). Then the editor against
    qjackctl's first paint, when qjackctl is installed."""
    editor, label = samples["editor"], samples["label"]
    baseline = "bare window + one label"
    references = [("  reference: bare window, no text, %s" % where, samples["bare"]),
                  ("  reference: its stock Qt widgets alone, %s" % where, samples["widgets"])]
    table.ratio_row("start -> first paint, %s (vs %s)" % (where, baseline), label["ms"],
                    editor["ms"], "ms", "<= %gx" % startup_aim, startup_aim)
    for figure, reference in references:
        table.ratio_row(figure, label["ms"], reference["ms"], "ms", "-", None)
    table.ratio_row("peak RSS idle after start, %s (vs %s)" % (where, baseline), label["mib"],
                    editor["mib"], "MiB", "<= %gx" % rss_aim, rss_aim)
    for figure, reference in references:
        table.ratio_row(figure, label["mib"], reference["mib"], "MiB", "-", None)
    figure = "start -> first paint, %s (vs qjackctl)" % where
    if "qjackctl" in samples:
        table.ratio_row(figure, samples["qjackctl"]["ms"], editor["ms"], "ms",
                        "<= %gx" % qjackctl_aim, qjackctl_aim)
    else:
        table.skip(figure, "<= %gx" % qjackctl_aim, "qjackctl is not installed")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bin", required=True, help="the build's bin folder")
    parser.add_argument("--reps", type=int, default=0, help="interleaved repetitions")
    parser.add_argument("--quick", action="store_true",
                        help="one short repetition of everything (a smoke test)")
    parser.add_argument("--only", choices=["startup", "library"],
                        help="only these rows (start-up: first paint and memory; library: "
                        "many sets in the CLI and the Library window)")
    parser.add_argument("--startup-child", help=argparse.SUPPRESS)
    args = parser.parse_args()
    args.bin = os.path.abspath(args.bin)
    if args.reps <= 0:
        args.reps = 1 if args.quick else 7
    idle = 0.2 if args.quick else 1.0
    settle = 0.0 if args.quick else 0.3

    if args.startup_child:  # on its own X server: report the samples to the parent
        print(json.dumps(measure_startup(args.bin, args.startup_child, "xcb", args.reps, idle, settle)))
        return 0

    scratch = tempfile.mkdtemp(prefix="bench-", dir=os.path.dirname(args.bin))
    table = Table()
    sets = 50 if args.quick else 1000
    if args.only == "library":
        shutil.rmtree(scratch, ignore_errors=True)
        library_rows(table, measure_library(args.bin, args.reps, sets), sets)
        return finish(table, args)
    try:
        editor = scratch_program_folder(args.bin, scratch)
        startup_rows(table, measure_startup(args.bin, editor, "offscreen", args.reps, idle, settle),
                     "offscreen", 1.25, 1.2, 0.7)
        try:
            startup_rows(table, startup_under_xvfb(args, editor), "Xvfb", 1.25, 1.2, 0.7)
        except Skipped as why:
            table.skip("start -> first paint, Xvfb", "<= 1.25x", str(why))
        if args.only == "startup":
            return finish(table, args)

        aim = ">= 100x faster"
        try:
            dump = measure_dump_read(args.bin, args.reps, 3 if args.quick else 20)
            speedups = [m / k for m, k in zip(dump["mido"], dump["kestrow"])]
            table.add("128-preset dump read + SysEx, in process (vs mido)",
                      spread([v / 1e3 for v in dump["mido"]], "ms", 2),
                      spread([v / 1e3 for v in dump["kestrow"]], "ms", 3),
                      spread(speedups, "x faster", 0), aim, statistics.median(speedups) >= 100)
        except Skipped as why:
            table.skip("128-preset dump read + SysEx", aim, str(why))

        library_rows(table, measure_library(args.bin, args.reps, sets), sets)

        cpu, wakeups = zip(*(idle_load(editor, 1.0 if args.quick else 5.0)
                             for _ in range(1 if args.quick else 3)))
        table.add("idle after start, offscreen (CPU, wake-ups)", "-",
                  "CPU %s, %s wake-ups/s" % (spread(cpu, "%", 2), spread(wakeups, "", 1)), "-",
                  "0 %, 0 wake-ups/s (keep)", max(cpu) < 0.005 and max(wakeups) < 0.05)

        delays = (4, 20, 200)
        pacing = measure_pacing(args.bin, delays, min(args.reps, 3), args.quick)
        messages = 8 if args.quick else 256
        for delay in delays:
            for load in ("idle", "busy"):
                cell = pacing[(delay, load)]
                allowed = 0.5 if load == "idle" else 1.0
                met = (max(abs(d) for d in cell["dev"]) <= allowed
                       and max(cell["gap"]) <= delay + 5 and min(cell["least"]) >= delay - 0.5)
                table.add("paced send, Delay %d ms, %s" % (delay, "idle" if load == "idle"
                                                          else "2 busy processes"),
                          "%d x %d ms = %d ms" % (messages, delay, messages * delay),
                          "total %s, worst gap %s, least %.1f ms"
                          % (spread(cell["dev"], "%", 2, True), spread(cell["gap"], "ms", 1),
                             min(cell["least"])),
                          "-", "total +-%g %%, gaps Delay-0.5..Delay+5 ms" % allowed, met)

        aim = "<= 1.1x (keep)"
        try:
            jack = measure_jack(args.bin, args.reps, 5 if args.quick else 40)
            table.ratio_row("request -> reply via JACK dummy (vs loopback client)",
                            jack["raw"], jack["editor"], "ms", aim, 1.1, 2)
        except Skipped as why:
            table.skip("request -> reply via JACK dummy", aim, str(why))

        aim = "every run whole, <= 1.5x"
        try:
            link = measure_lossy_backup(args.bin, min(args.reps, 3), scratch)
            ratios = [l / c for l, c in zip(link["lossy"], link["clean"])]
            table.add("zembraDial backup, Delay 50 ms, 5 % lost each way (vs no loss)",
                      spread(link["clean"], "s", 2), "%s, whole %d of %d"
                      % (spread(link["lossy"], "s", 2), sum(link["whole"]), len(link["whole"])),
                      spread(ratios, "x", 2), aim,
                      all(link["whole"]) and statistics.median(ratios) <= 1.5)
        except (Skipped, OSError) as why:
            table.skip("zembraDial backup, 5 % lost each way", aim, str(why))

        aim = "every preset verified, < 12.8 s"
        try:
            auto = measure_auto_delay(args.bin, min(args.reps, 3))
            table.add("Send All to a 15 ms zembraDial, --delay auto --verify (vs 256 x 50 ms)",
                      "12.80 s", "%s, verified %d of %d" % (spread(auto["seconds"], "s", 2),
                                                           sum(auto["verified"]),
                                                           len(auto["verified"])),
                      "-", aim, all(auto["verified"]) and max(auto["seconds"]) < 12.8)
        except (Skipped, OSError) as why:
            table.skip("Send All with --delay auto", aim, str(why))
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    return finish(table, args)


def finish(table, args):
    table.print("Kestrow Editor bench: %d interleaved repetitions (pacing %d), min / median / max;"
                " ratio = Kestrow / baseline per repetition, met by the median (pacing: every run)"
                % (args.reps, min(args.reps, 3)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
