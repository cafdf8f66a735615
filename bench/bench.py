#!/usr/bin/env python3
"""The benchmarks behind bench/run.sh (run that script, not this file).

Each benchmark times a tool against a baseline in the same run, the two
interleaved (A B B A ...), so that the load of a shared machine weighs on both
alike; it reports the median wall time of each and their ratio. Every timed
process is started the same way (posix_spawn, standard input /dev/null, output
to /dev/null) and measured with wait4: wall time around the spawn and the wait,
CPU time from the rusage. Peak memory is measured in runs of their own under
/usr/bin/time -f %M (a process spawned from Python would report Python's own
peak: the kernel counts the memory the process had before its exec). Every
tool run is checked: its log must be empty and its data what the run should
have produced.
"""

import argparse
import datetime
import os
import platform
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

PARGAT = (
    "IP_DESTI=127.0.0.1\r\nPORT_DESTI=2003\r\nPORT_LOCAL=2003\r\nREINTENTS=4\r\nTIMEOUT=2\r\n"
    "DISPLAY=0\r\nDEBUG=0\r\nINGREDIENTS=10\r\n\r\n[TABLE]\r\nNUM_ENTRIES=1\r\n"
    "SEC1=0 TERM1=0 MASTER1=1 IPASIG1=127.0.0.10\r\n"
)
PAD = "ARTICLE-TEXT-0123456789-ABCDEFGHIJKLMNOPQRSTUVWXYZ-0123456789-abcdefghijklmnopq"


class Failure(Exception):
    pass


class Sample:
    def __init__(self, wall, cpu, rss_kb):
        self.wall, self.cpu, self.rss_kb = wall, cpu, rss_kb


def spawn(argv, cwd, env):
    """Runs argv in cwd; returns its Sample. Standard error goes to
    cwd/stderr.txt, which must stay empty."""
    err = os.path.join(cwd, "stderr.txt")
    actions = [
        (os.POSIX_SPAWN_OPEN, 0, "/dev/null", os.O_RDONLY, 0),
        (os.POSIX_SPAWN_OPEN, 1, "/dev/null", os.O_WRONLY, 0),
        (os.POSIX_SPAWN_OPEN, 2, err, os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o644),
    ]
    old = os.getcwd()
    os.chdir(cwd)
    try:
        t0 = time.perf_counter_ns()
        pid = os.posix_spawn(argv[0], argv, env, file_actions=actions)
        _, status, ru = os.wait4(pid, 0)
        t1 = time.perf_counter_ns()
    finally:
        os.chdir(old)
    if os.waitstatus_to_exitcode(status) != 0:
        raise Failure(f"{' '.join(argv)} in {cwd} ended with status {os.waitstatus_to_exitcode(status)}")
    if os.path.getsize(err) != 0:
        raise Failure(f"{' '.join(argv)} in {cwd} wrote to standard error:\n" + open(err, errors="replace").read())
    return Sample((t1 - t0) / 1e9, ru.ru_utime + ru.ru_stime, None)


TIME = "/usr/bin/time"


def peak_kb(argv, cwd, env):
    """Peak resident memory of argv in KB, as /usr/bin/time -f %M reports it."""
    out = os.path.join(cwd, "peak.txt")
    spawn([TIME, "-f", "%M", "-o", out] + argv, cwd, env)
    with open(out) as f:
        return int(f.read().split()[-1])


def peaks(runs, jobs):
    """Median peak memory of each job, jobs as for interleaved()."""
    out = {name: [] for name, *_ in jobs}
    for _ in range(runs):
        for name, setup, argv, cwd, env in jobs:
            if setup:
                setup()
            out[name].append(peak_kb(argv, cwd, env))
    return {name: statistics.median(v) for name, v in out.items()}


def tool_env(**extra):
    env = {k: v for k, v in os.environ.items() if not k.startswith("PORTALLIB_")}
    env["PORTALLIB_JOURNAL"] = "0"
    env.update(extra)
    return env


def folder(root, name, pargat=True):
    d = os.path.join(root, name)
    os.makedirs(d)
    if pargat:
        with open(os.path.join(d, "PARGAT.INI"), "w", newline="") as f:
            f.write(PARGAT)
    return d


def expect_empty_log(d, what):
    log = os.path.join(d, "ordenes.err")
    if os.path.exists(log) and os.path.getsize(log) != 0:
        raise Failure(f"{what} logged:\n" + open(log, "rb").read().decode("cp1252", "replace"))


def write_upload_file(path, lines, section=0):
    """lines records of 80 bytes: "S 00 nnnnnnn " header, text, CR LF."""
    with open(path, "wb") as f:
        chunk = []
        for i in range(lines):
            head = "S %02d %07d " % (section, i)
            chunk.append(head + PAD[: 78 - len(head)] + "\r\n")
            if len(chunk) == 100000:
                f.write("".join(chunk).encode())
                chunk = []
        f.write("".join(chunk).encode())
    if os.path.getsize(path) != lines * 80:
        raise Failure(f"{path} has the wrong size")


def interleaved(runs, jobs):
    """jobs: list of (name, setup-or-None, argv, cwd, env). Runs every job
    runs times, in the order A B .. then .. B A, alternating; returns
    {name: [Sample]}."""
    out = {name: [] for name, *_ in jobs}
    for r in range(runs):
        order = jobs if r % 2 == 0 else list(reversed(jobs))
        for name, setup, argv, cwd, env in order:
            if setup:
                setup()
            out[name].append(spawn(argv, cwd, env))
    return out


def med(samples, attr):
    return statistics.median(getattr(s, attr) for s in samples)


class Report:
    def __init__(self):
        self.rows = []  # (target, tool, tool figure, baseline, baseline figure, ratio, limit, met)
        self.notes = []

    def row(self, target, tool, tool_fig, base, base_fig, ratio, limit_text, met):
        self.rows.append((target, tool, tool_fig, base, base_fig, "%.2f" % ratio, limit_text, "yes" if met else "NO"))


def ms(seconds):
    return "%.1f ms" % (seconds * 1000)


def mb(kb):
    return "%.1f MB" % (kb / 1024)


# ---- the benchmarks ---------------------------------------------------------


def bench_startup(bin_dir, root, runs, rep):
    tool_dir = folder(root, "start-tool")
    base_dir = folder(root, "start-minimal")
    # The minimal program loads the library from its own folder, as the tools do.
    shutil.copy(os.path.join(bin_dir, "minimal_run"), base_dir)
    shutil.copy(os.path.join(bin_dir, "libPortalLib.so"), base_dir)
    env = tool_env(PORTALLIB_ACCEPT_ALL="1")
    tool = [os.path.join(bin_dir, "QKBLOQ")]
    base = [os.path.join(base_dir, "minimal_run")]
    for _ in range(5):  # warm caches; the first run also stores the lock
        spawn(tool, tool_dir, env)
        spawn(base, base_dir, env)
    res = interleaved(runs * 20, [("tool", None, tool, tool_dir, env), ("base", None, base, base_dir, env)])
    expect_empty_log(tool_dir, "QKBLOQ")
    lock = os.path.join(tool_dir, "portallib-state", "t0.lock")
    if not os.path.exists(lock):
        raise Failure("QKBLOQ stored no lock")
    t, b = med(res["tool"], "wall"), med(res["base"], "wall")
    mem = peaks(runs, [("tool", None, tool, tool_dir, env), ("base", None, base, base_dir, env)])
    tm, bm = mem["tool"], mem["base"]
    rep.row("1. start-up, wall time", "QKBLOQ S 0", ms(t), "bench/minimal_run", ms(b), t / b, "<= 1.2", t / b <= 1.2)
    rep.row("1. start-up, peak memory", "QKBLOQ S 0", mb(tm), "bench/minimal_run", mb(bm), tm / bm, "<= 1.5", tm / bm <= 1.5)
    rep.notes.append(
        "Start-up: %d runs of each; CPU time (user + system) median %s for QKBLOQ, %s for minimal_run."
        % (len(res["tool"]), ms(med(res["tool"], "cpu")), ms(med(res["base"], "cpu"))))


def bench_upload(bin_dir, root, runs, rep):
    lines = 1_000_000
    d = folder(root, "upload")
    write_upload_file(os.path.join(d, "QKLOTW.ASC"), lines)
    tool = [os.path.join(bin_dir, "QKLOTW"), "S", "0", "0", str(lines - 1)]
    # Every line is sent: the gateway answers 8 to the millionth call.
    spawn(tool, d, tool_env(PORTALLIB_FAULTS="lotw=0;lotw#%d=8" % lines))
    log = open(os.path.join(d, "ordenes.err"), "rb").read()
    if log.count(b"\r\n") != 1 or b"|Error: 08|" not in log:
        raise Failure("QKLOTW did not send all %d lines: %r" % (lines, log))
    os.remove(os.path.join(d, "ordenes.err"))

    small = folder(root, "upload-10")
    write_upload_file(os.path.join(small, "QKLOTW.ASC"), 10)
    small_tool = [os.path.join(bin_dir, "QKLOTW"), "S", "0", "0", "9"]

    env = tool_env(PORTALLIB_ACCEPT_ALL="1")
    wc = [shutil.which("wc"), "-l", "QKLOTW.ASC"]
    spawn(wc, d, env)  # the file into the page cache
    res = interleaved(runs, [("tool", None, tool, d, env), ("wc", None, wc, d, env),
                             ("small", None, small_tool, small, env)])
    expect_empty_log(d, "QKLOTW")
    expect_empty_log(small, "QKLOTW (10 lines)")
    t, b = med(res["tool"], "wall"), med(res["wc"], "wall")
    rep.row("2. upload 1,000,000 lines", "QKLOTW", ms(t), "wc -l", ms(b), t / b, "<= 3", t / b <= 3)
    mem = peaks(runs, [("tool", None, tool, d, env), ("small", None, small_tool, small, env)])
    big, little = mem["tool"], mem["small"]
    rep.row("4. memory, 1,000,000 vs 10 lines", "QKLOTW 1,000,000", mb(big), "QKLOTW 10", mb(little),
            big / little, "<= 1.10", big / little <= 1.10)
    rep.notes.append(
        "Upload: 80,000,000 bytes; CPU time median %s for QKLOTW, %s for wc -l."
        % (ms(med(res["tool"], "cpu")), ms(med(res["wc"], "cpu"))))


def bench_download(bin_dir, root, runs, rep):
    records = 1_000_000
    d = folder(root, "download")
    ref_dir = folder(root, "download-minimal", pargat=False)
    out = os.path.join(d, "QKLOTR.ASC")
    ref_out = os.path.join(ref_dir, "QKLOTR.ASC")
    # The reference program loads the library from its own folder.
    shutil.copy(os.path.join(bin_dir, "minimal_download"), ref_dir)
    shutil.copy(os.path.join(bin_dir, "libPortalLib.so"), ref_dir)
    env = tool_env(PORTALLIB_SYNTHETIC_RECORDS="60")
    tool = [os.path.join(bin_dir, "QKLOTR"), "S", "0", "0", str(records - 1)]
    cat = [shutil.which("cat"), "QKLOTR.ASC"]
    ref = [os.path.join(ref_dir, "minimal_download"), "0", str(records - 1), "QKLOTR.ASC"]

    def fresh():
        if os.path.exists(out):
            os.remove(out)

    def fresh_ref():
        if os.path.exists(ref_out):
            os.remove(ref_out)

    fresh()
    spawn(tool, d, env)
    data = open(out, "rb").read()
    if len(data) != records * 60 or data[:13] != b"S 00 0000000 " or data[-60:-47] != b"S 00 0999999 " \
            or data[-2:] != b"\r\n":
        raise Failure("QKLOTR did not write the %d records" % records)
    fresh_ref()
    spawn(ref, ref_dir, env)
    if open(ref_out, "rb").read() != data:
        raise Failure("minimal_download wrote other bytes than QKLOTR")
    del data
    # Twice the runs of the other large benchmarks: the three are short.
    res = interleaved(runs * 2, [("tool", fresh, tool, d, env), ("cat", None, cat, d, env),
                                 ("ref", fresh_ref, ref, ref_dir, env)])
    expect_empty_log(d, "QKLOTR")
    t, b, r = med(res["tool"], "wall"), med(res["cat"], "wall"), med(res["ref"], "wall")
    rep.row("3. download 1,000,000 records", "QKLOTR", ms(t), "cat > /dev/null", ms(b), t / b, "<= 3", t / b <= 3)
    rep.notes.append(
        "Download: 60,000,000 bytes written to a new file (the old one removed before each run, untimed); "
        "CPU time median %s for QKLOTR, %s for cat. For reference, bench/minimal_download (the same download "
        "in plain C, same bytes) took %s, %.2f times cat; QKLOTR took %.2f times its time."
        % (ms(med(res["tool"], "cpu")), ms(med(res["cat"], "cpu")), ms(r), r / b, t / r))


def bench_emulator_scaling(bin_dir, root, runs, rep):
    env = tool_env()
    results = {}
    jobs = []
    for n in (10_000, 100_000):
        d = folder(root, "emulator-%d" % n)
        write_upload_file(os.path.join(d, "QKLOTW.ASC"), n)
        up = [os.path.join(bin_dir, "QKLOTW"), "S", "0", "0", str(n - 1)]
        down = [os.path.join(bin_dir, "QKLOTR"), "S", "0", "0", str(n - 1)]

        def clear(d=d):
            shutil.rmtree(os.path.join(d, "portallib-state"), ignore_errors=True)

        jobs += [("up%d" % n, clear, up, d, env), ("down%d" % n, None, down, d, env)]
        results[n] = d
    res = interleaved(runs, jobs)
    for n, d in results.items():
        expect_empty_log(d, "QKLOTW/QKLOTR (%d records)" % n)
        if open(os.path.join(d, "QKLOTR.ASC"), "rb").read() != open(os.path.join(d, "QKLOTW.ASC"), "rb").read():
            raise Failure("the %d records downloaded are not those uploaded" % n)
    total = {n: statistics.median(u.wall + w.wall for u, w in zip(res["up%d" % n], res["down%d" % n]))
             for n in results}
    ratio = total[100_000] / total[10_000]
    rep.row("5. emulator, 100,000 vs 10,000 records up and down", "100,000", ms(total[100_000]), "10,000",
            ms(total[10_000]), ratio, "<= 12", ratio <= 12)
    rep.notes.append(
        "Emulator scaling: each run uploads the records with QKLOTW into an empty state folder (real store, "
        "journal off) and downloads them with QKLOTR; the download is checked byte for byte against the upload. "
        "Medians: upload %s / %s, download %s / %s (10,000 / 100,000)."
        % (ms(med(res["up10000"], "wall")), ms(med(res["up100000"], "wall")),
           ms(med(res["down10000"], "wall")), ms(med(res["down100000"], "wall"))))


def bench_network(bin_dir, root, runs, rep):
    scales, records = 100, 100_000
    empty = folder(root, "network-empty")
    full = folder(root, "network-full")
    state = os.path.join(full, "portallib-state")
    os.makedirs(state)
    # The store's file format: a comment line, then "<index> <escaped bytes>".
    body = ["# portallib store: one record per line, \"<index> <bytes with C escapes>\"\n"]
    body += ["%d S 00 %07d LOT\\r\\n\n" % (i, i) for i in range(records)]
    first = os.path.join(state, "t0.lot")
    with open(first, "w") as f:
        f.write("".join(body))
    for t in range(1, scales):
        shutil.copy(first, os.path.join(state, "t%d.lot" % t))
    env = tool_env(PORTALLIB_ACCEPT_ALL="1")
    tool = [os.path.join(bin_dir, "QKBLOQ"), "S", "0"]
    for _ in range(3):
        spawn(tool, empty, env)
        spawn(tool, full, env)
    res = interleaved(runs * 20, [("empty", None, tool, empty, env), ("full", None, tool, full, env)])
    expect_empty_log(empty, "QKBLOQ (empty network)")
    expect_empty_log(full, "QKBLOQ (full network)")
    t, b = med(res["full"], "wall"), med(res["empty"], "wall")
    rep.row("5. start with 100 scales x 100,000 records", "QKBLOQ, full", ms(t), "QKBLOQ, empty", ms(b), t / b,
            "< 1.2", t / b < 1.2)
    mem = peaks(runs, [("empty", None, tool, empty, env), ("full", None, tool, full, env)])
    rep.notes.append(
        "Network: %d store files of %s records (%s each) in the full state folder; peak memory %s full, %s empty."
        % (scales, "{:,}".format(records), mb(os.path.getsize(first) / 1024), mb(mem["full"]), mb(mem["empty"])))


# ---- report -----------------------------------------------------------------


def machine():
    model = "?"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    mem = "?"
    with open("/proc/meminfo") as f:
        for line in f:
            if line.startswith("MemTotal"):
                mem = "%.1f GB" % (int(line.split()[1]) / 1024 / 1024)
    cxx = subprocess.run(["c++", "--version"], capture_output=True, text=True).stdout.splitlines()
    return [
        ("CPUs (nproc)", str(os.cpu_count())),
        ("CPU model", model),
        ("Memory", mem),
        ("System", "%s %s" % (platform.system(), platform.release())),
        ("Compiler", cxx[0] if cxx else "?"),
        ("Load average at start", " ".join("%.2f" % x for x in os.getloadavg())),
    ]


def table(header, rows):
    widths = [max(len(str(r[i])) for r in [header] + rows) for i in range(len(header))]
    line = lambda r: "| " + " | ".join(str(c).ljust(w) for c, w in zip(r, widths)) + " |"
    return "\n".join([line(header), "|" + "|".join("-" * (w + 2) for w in widths) + "|"] + [line(r) for r in rows])


HEADER = ("Target", "Measured", "Median", "Baseline", "Median", "Ratio", "Limit", "Met")


def write_doc(path, rep, mach, runs, command, started, seconds):
    text = f"""# Performance

Generated by `{command}` on {started} (took {seconds:.0f} s). Do not edit by
hand: run `bench/run.sh` again.

Each figure is a ratio against a baseline timed in the same run, the two
interleaved, with medians of {runs} runs ({runs * 20} for the start-up figures,
{runs * 2} for the download).
The machine is shared and loaded, so absolute times vary from run to run; the
ratios are what the targets are about.

## Results

{table(HEADER, rep.rows)}

{chr(10).join("- " + n for n in rep.notes)}

## Machine

{table(("Item", "Value"), mach)}

## What is run

All tools come from the release preset (`cmake --preset release`, binaries in
`build/release/bin`), each started with standard input `/dev/null`, output to
`/dev/null`, `PORTALLIB_JOURNAL=0`, in a scratch folder with a one-entry
`PARGAT.INI` (terminal 0, section 0, master).

1. Start-up: `QKBLOQ` (the lock command) with `PORTALLIB_ACCEPT_ALL=1`, against
   `bench/minimal_run` (C: `dlopen` of `libPortalLib.so` from its own folder,
   six `dlsym`, `PARGAT.INI` read, one `bloq` call, one line appended to the
   log).
2. Upload: `QKLOTW S 0 0 999999` over 1,000,000 lines of 80 bytes, all for
   section 0 and in range, with `PORTALLIB_ACCEPT_ALL=1`, against
   `wc -l QKLOTW.ASC`. Checked first with the fault plan `lotw=0;lotw#1000000=8`:
   exactly one logged code 8, so every line was sent.
3. Download: `QKLOTR S 0 0 999999` with `PORTALLIB_SYNTHETIC_RECORDS=60`
   (each record download answers a 60-byte text at once), against
   `cat QKLOTR.ASC > /dev/null`. The file is checked: 60,000,000 bytes, first
   and last record headers. Beside them, as a reference only,
   `bench/minimal_download`: the same download in plain C (the library from
   its own folder, `opensocket`, one `lotr` a record, `strnlen` and `memcpy`
   into a 256 KB buffer, no parameter file, log or keyboard), whose file must
   hold the same bytes.
4. Memory: peak resident memory (`/usr/bin/time -f %M`) of the
   1,000,000-line upload against the same upload of 10 lines.
5. Emulator: `QKLOTW` then `QKLOTR` of 10,000 and 100,000 records through the
   real store (journal off), from an empty state folder each time; and
   `QKBLOQ S 0` in a state folder holding 100 scales (`t0.lot` to `t99.lot`,
   100,000 records each, written directly in the store's file format) against
   an empty state folder.

## Findings behind the code (measured by hand, not by the script)

- Start-up is dominated by the dynamic loader. The tools and the emulator
  library carry their own copy of the C++ runtime (`-static-libstdc++`), so
  no run loads the shared one: `QKBLOQ S 0` went from about 4.5 to 3.2 ms,
  and `minimal_run`, which loaded the shared runtime only because the library
  needed it, from 4.5 to 2.9 ms. The tool's own work (five gateway calls
  that read and store the lock, the parameter file's parser, the log) now
  shows in the ratio: 1.07 to 1.11 where it was 0.96 to 0.97.
- Keyboard polling: with standard input `/dev/null` or an ended pipe the first
  check sees the end (one `poll`, one `read`), and from then on the frame
  answers from the last key without any call; on a terminal there is one
  `poll` per record.
- Download (target 3), what the tool does per record: the call, and one pass
  over the text that finds its zero byte and stores it in the file buffer
  (16-byte blocks, four at a time); about 190 instructions a record with the
  emulator's synthetic answer included (callgrind, 100,000 records), about 10
  ns. Three changes gave most of the gain (the download's ratio to `cat`
  measured 2.7 to 4.0 before them, 2.2 to 3.1 after, on this machine):
  - The written file's buffer grew from 64 to 256 KB: 60 MB stored into a new
    file in 64 KB writes took 10.0 ms, in 256 KB writes 7.4 ms (medians of 21
    in one process).
  - Finding the end of a record and copying it used to be two passes
    (`memchr`, then `memcpy`), each started right after the gateway's stores.
  - The emulator's synthetic answer copied its text right after rewriting the
    index digits byte by byte, and in overlapping pieces: both made the next
    reads wait for the stores to land. A loop of calls and copies alone went
    from 11.7 to 6.3 ns a record; a gateway that does nothing but copy 64
    bytes measures 5.3 to 5.7 ns in the same loop.
- Tried and not kept: a writer thread that writes one buffer while the tool
  fills the next. Slower here (a plain C download: 30.5 ms in one thread,
  30.9 to 40.6 ms with 2 to 16 buffers handed over), as the buffer's cache
  lines move between the two cores.
- What limits target 3: the kernel's part. Storing 60 MB into a new file
  costs 1.3 to 1.6 times what `cat` needs to read them back, before any
  record is fetched, and `cat`'s time moves with the machine's state (6.4 to
  11.9 ms in medians of runs here) more than the download's. The plain C
  reference above runs at 2.8 to 3.7 times `cat` and QKLOTR at 0.8 to 0.95
  times the reference; an ideal C loop (a gateway that only copies 64 bytes,
  one-pass copy, no parameter file or log) measured 2.2 times `cat` where
  QKLOTR measured 2.7. Of twelve runs of this script after these changes
  ten met target 3 (median 2.8, lowest 2.23, highest 3.06).
- Hand timings of downloads into a new file must alternate the programs'
  order, as this script does: in rounds of a fixed order (remove the file,
  run, `cat` it, for each program in turn) the program placed first ran up to
  9 ms slower than the same program placed second.
- The emulator reads a scale's store of one kind the first time a call touches
  that scale and kind, so the stores of other scales cost nothing (target 5).
"""
    with open(path, "w") as f:
        f.write(text)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bin", required=True)
    ap.add_argument("--doc")
    ap.add_argument("--command", default="bench/run.sh")
    ap.add_argument("--runs", type=int, default=7)
    ap.add_argument("--no-doc", action="store_true")
    a = ap.parse_args()
    bin_dir = os.path.abspath(a.bin)
    if not os.access(TIME, os.X_OK):
        print("%s is needed for the peak memory (Debian package time)" % TIME, file=sys.stderr)
        return 1
    started = datetime.datetime.now().strftime("%Y-%m-%d %H:%M")
    t0 = time.time()
    mach = machine()
    rep = Report()
    root = tempfile.mkdtemp(prefix="qk-bench-")
    try:
        for step in (bench_startup, bench_upload, bench_download, bench_emulator_scaling, bench_network):
            print("running %s ..." % step.__name__[6:], file=sys.stderr, flush=True)
            step(bin_dir, root, a.runs, rep)
    except Failure as e:
        print("benchmark failed: %s" % e, file=sys.stderr)
        return 1
    finally:
        shutil.rmtree(root, ignore_errors=True)
    mach.append(("Load average at end", " ".join("%.2f" % x for x in os.getloadavg())))
    print(table(HEADER, rep.rows))
    for n in rep.notes:
        print("- " + n)
    if a.doc and not a.no_doc:
        write_doc(a.doc, rep, mach, a.runs, a.command.strip(), started, time.time() - t0)
        print("written: %s" % os.path.relpath(a.doc))
    return 0 if all(r[-1] == "yes" for r in rep.rows) else 2


if __name__ == "__main__":
    sys.exit(main())
