#!/usr/bin/env python3
"""Whole-run throughput of talvo against the floor of copying its own output.

Generates deterministic CSV files in a temporary folder, checks talvo's output for each of them
against an independent reference, and then times, round by round, each workload's commands:

  talvo      the run itself, writing a new output file
  out-copy   dd if=<talvo's output> of=<new file> bs=1M: one process reading and writing as many
             bytes as talvo writes, through user memory (GNU dd reads and writes; it uses neither
             copy_file_range nor sendfile, which is checked with strace where installed). This is
             the floor: talvo reads fewer bytes than this copy does, as its input is the shorter.
  cat|cat    cat in | cat > out, the floor of earlier figures, kept for continuity
  awk        a mawk script doing the same job, on the M10W3 workload only

Each round runs every command of every workload once, the commands in an order that turns from
round to round, so that the noise of a shared machine falls on all of them alike. Every timed
command writes a file that does not exist: the previous output is deleted outside the timing,
since truncating a file of 150 MB costs real time. The inputs and the out-copy's sources are
flushed to disk once, and the file that a command reads is read whole just before it is timed,
so that every run reads from the page cache and no write-back of the generated files falls into
a timed run. One untimed round comes first.

Workloads (a header line `code,name,qty` and the data lines):

  M10W3 c=6 w=1          4M lines like `623347347957,item0,0`
  7DR c=0 w=1            2M lines with a 30-digit value
  M43 c=10 w=0           4M lines with a 12-character Code 39 value
  M10W3 c=6 w=1 CP932    the M10W3 lines with code-page-932 product names in the second column,
                         like `490123456789,みかん（箱）,3`

--memory adds two more for peak memory: a 1 GB file (the M10W3 lines ten times over) and a file
holding one line of 100 MiB whose target value is almost all of the line.

Before any timing, talvo's output of each workload must hold the expected number of lines and
bytes and equal, byte for byte, an independent reference: the output of a mawk script doing the
same job, the M10W3 output ten times over for the 1 GB file, and a check digit computed here for
the one-line file. Every timed talvo run must then give that same output again. A build that
writes the wrong bytes stops the script instead of posting a figure.

Printed for each workload: the medians of the three commands, talvo / out-copy of the medians,
best / best (the fastest talvo run over the fastest out-copy, the figure least disturbed by the
rest of the machine), talvo's input MB/s and its user and system CPU seconds, its peak resident
memory (GNU time, Debian package `time`, where installed; otherwise the child's resource usage
from a fresh interpreter, an upper bound that includes some 10 MiB of that interpreter) and, for
M10W3, awk / talvo. The table is Markdown, followed by the command that reproduces it.

Without --talvo it first configures and builds build-bench/ as a release build. Nothing is left
behind unless --keep is given.

    python3 bench/throughput.py                   # the README's table
    python3 bench/throughput.py --memory          # and the 1 GB and one-line files
    python3 bench/throughput.py --only CP932 --runs 9
"""
import argparse
import os
import platform
import re
import shlex
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HEADER = b"code,name,qty\r\n"
MIB = 1024 * 1024
DEFAULT_RUNS = 5

# A 64-bit linear congruential generator: the same numbers on every machine and Python version.
_MULTIPLIER = 6364136223846793005
_INCREMENT = 1442695040888963407
_MASK = (1 << 64) - 1
_CODE39 = b"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"


def _numbers(seed):
    x = seed
    while True:
        x = (x * _MULTIPLIER + _INCREMENT) & _MASK
        yield x >> 16


def digits12(n):
    return b"%012d" % (n % 10**12)


def digits30(n):
    return b"%015d%015d" % (n % 10**15, (n * 7919) % 10**15)


def alphanumeric12(n):
    n = (n * 0x9E3779B97F4A7C15) & _MASK  # spread over all twelve characters
    out = bytearray()
    for _ in range(12):
        n, k = divmod(n, 36)
        out.append(_CODE39[k])
    return bytes(out)


def item_name(i, n):
    return b"item%d" % i


# Product names as a shop's export holds them. 表, ソ and 能 end in the byte 0x5C and ー, ゴ and
# others in bytes of the ASCII range, so the second byte of a pair is often a byte that a
# byte-wise search could take for something else.
_CP932_NAMES = [name.encode("cp932") for name in (
    "りんご", "みかん（箱）", "バナナ", "ぶどう（巨峰）", "梨", "もも２個入", "メロン",
    "いちご（大粒）", "牛乳１Ｌ", "食パン６枚切", "表示価格品", "ソース", "能登産米５ｋｇ",
    "コーヒー", "緑茶ペットボトル", "チョコレート")]


def cp932_name(i, n):
    return _CP932_NAMES[(n >> 5) % len(_CP932_NAMES)]


def write_lines(path, lines, seed, make_value, make_name, chunk=200_000):
    """Writes the header and `lines` data lines `value,name,i mod 10`, CR LF after each."""
    numbers = _numbers(seed)
    with open(path, "wb") as f:
        f.write(HEADER)
        for start in range(0, lines, chunk):
            rows = []
            for i in range(start, min(start + chunk, lines)):
                n = next(numbers)
                rows.append(b"%s,%s,%d\r\n" % (make_value(n), make_name(i, n), i % 10))
            f.write(b"".join(rows))


# The awk scripts a user would write for the same jobs; digits-only (and Code 39-only) values,
# which is what the generated files hold. mawk works on bytes, so code-page-932 names pass
# through it unchanged: neither byte of a pair is ever a comma, CR or LF.
AWK_PROLOGUE = 'BEGIN { RS = "\\r?\\n"; ORS = "\\r\\n"; FS = "," }\n'
AWK_M10W3 = AWK_PROLOGUE + r'''
NR == 1 { print $0 ",OutPut"; next }
{
  v = $1; n = length(v); s = 0
  for (i = n; i >= 1; i--) { d = substr(v, i, 1) + 0; s += ((n - i) % 2 == 0) ? 3 * d : d }
  print $0 "," v ((10 - s % 10) % 10)
}
'''
AWK_M43 = AWK_PROLOGUE + r'''
NR == 1 { print; next }
{
  v = $1; n = length(v); s = 0
  for (i = 1; i <= n; i++) s += index(A, substr(v, i, 1)) - 1
  $1 = v substr(A, s % 43 + 1, 1); print
}
BEGIN { OFS = ","; A = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%" }
'''
AWK_7DR = AWK_PROLOGUE + r'''
NR == 1 { print $0 ",OutPut"; next }
{
  v = $1; n = length(v); r = 0
  for (i = 1; i <= n; i++) r = (r * 10 + substr(v, i, 1)) % 7
  print $0 "," v r
}
'''
AWK_ENV = dict(os.environ, LC_ALL="C")


class Workload:
    """One input file, the talvo arguments for it and what its output must be.

    Each data line grows by `added` bytes and the header by `header_added`, which gives the
    output's exact size; `awk` is the script whose output must equal talvo's."""

    def __init__(self, label, name, talvo_args, lines, added, header_added, awk=None,
                 awk_timed=False, memory=False):
        self.label, self.name, self.talvo_args = label, name, talvo_args
        self.lines, self.added, self.header_added = lines, added, header_added
        self.awk, self.awk_timed, self.memory = awk, awk_timed, memory
        self.path = self.reference = self.awk_script = None
        self.size_in = self.size_out = 0
        self.times = {}
        self.cpu = []
        self.peak_kib, self.peak_bound = 0, False

    def commands(self, timed_awk):
        return ["talvo", "out-copy", "cat|cat"] + (["awk"] if self.awk_timed and timed_awk else [])


M10W3_ARGS = ["1", "1", "1", "6"]
WORKLOADS = [
    Workload("M10W3 c=6 w=1", "m10w3.csv", M10W3_ARGS, 4_000_000, 14, 7, AWK_M10W3,
             awk_timed=True),
    Workload("7DR c=0 w=1", "7dr.csv", ["1", "1", "1", "0"], 2_000_000, 32, 7, AWK_7DR),
    Workload("M43 c=10 w=0", "m43.csv", ["1", "1", "0", "10"], 4_000_000, 1, 0, AWK_M43),
    Workload("M10W3 c=6 w=1 CP932", "m10w3-cp932.csv", M10W3_ARGS, 4_000_000, 14, 7, AWK_M10W3),
    Workload("1 GB file (M10W3 c=6 w=1)", "m10w3-1gb.csv", M10W3_ARGS, 40_000_000, 14, 7,
             memory=True),
    Workload("one line of 100 MiB (M10W3 c=6 w=1)", "one-line.csv", M10W3_ARGS, 1,
             1 + 100 * MIB + 1, 7, memory=True),
]
WHAT_LINES_HOLD = {
    "m10w3.csv": "`623347347957,item0,0`",
    "7dr.csv": "30-digit values",
    "m43.csv": "12 Code 39 characters",
    "m10w3-cp932.csv": "names like `490123456789,みかん（箱）,3`",
}
ONE_LINE_VALUE = b"0123456789" * (10 * MIB)


def fail(message):
    sys.exit(f"throughput.py: {message}")


def progress(message):
    print(message, file=sys.stderr, flush=True)


def remove(*paths):
    for path in paths:
        if os.path.exists(path):
            os.remove(path)


def same_bytes(path, pieces):
    """Whether the file at `path` holds exactly the bytes of `pieces`, an iterable of either
    bytes or (file, offset, length) ranges, one after the other; read a MiB at a time."""
    def chunks():
        for piece in pieces:
            if isinstance(piece, bytes):
                for at in range(0, len(piece), MIB):
                    yield piece[at:at + MIB]
                continue
            name, offset, length = piece
            with open(name, "rb") as f:
                f.seek(offset)
                while length > 0:
                    block = f.read(min(MIB, length))
                    if not block:
                        raise ValueError(f"{name} is shorter than expected")
                    length -= len(block)
                    yield block

    with open(path, "rb") as f:
        for block in chunks():
            if f.read(len(block)) != block:
                return False
        return f.read(1) == b""


def count_lines(path):
    total = 0
    with open(path, "rb") as f:
        while block := f.read(MIB):
            total += block.count(b"\n")
    return total


def flush(paths):
    """Writes the generated files to disk, so that no write-back of them falls into a timed
    run."""
    for path in paths:
        with open(path, "rb+") as f:
            os.fsync(f.fileno())


def warm(path):
    """Reads a file whole, so that the timed command after this reads it from the page cache.
    Done before every timed command: a machine that pages out cold page cache (as a virtual
    machine's proactive reclaim does) would otherwise let a disk read into the timing."""
    with open(path, "rb") as f:
        while f.read(4 * MIB):
            pass


def m10w3_check_digit(value):
    """The M10W3 check digit of a text of digits: weight 3 on the rightmost digit and every
    second one to its left."""
    odd, even = value[::-1][0::2], value[::-1][1::2]
    total = 3 * (sum(odd) - 48 * len(odd)) + (sum(even) - 48 * len(even))
    return b"%d" % ((10 - total % 10) % 10)


# --- running and timing ---------------------------------------------------------------------

def run_timed(argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, env=None):
    """Runs one command; returns its wall seconds and its resource usage. Stops on a failure."""
    start = time.perf_counter()
    child = subprocess.Popen(argv, stdin=stdin, stdout=stdout, env=env)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode != 0:
        fail(f"{shlex.join(argv)} failed with status {child.returncode}")
    return wall, usage


def cat_cat(src, dst):
    """cat in | cat > out, timed from the first start to the last end."""
    with open(src, "rb") as fin, open(dst, "wb") as fout:
        start = time.perf_counter()
        first = subprocess.Popen(["cat"], stdin=fin, stdout=subprocess.PIPE)
        second = subprocess.Popen(["cat"], stdin=first.stdout, stdout=fout)
        first.stdout.close()
        rc = (first.wait(), second.wait())
        wall = time.perf_counter() - start
    if rc != (0, 0):
        fail("cat | cat failed")
    return wall


def dd_argv(src, dst):
    return ["dd", f"if={src}", f"of={dst}", "bs=1M", "status=none"]


def check_dd_copies_through_memory(work):
    """Runs the out-copy's dd on a small file under strace: it must move its bytes with read()
    and write() of 1 MiB, never with copy_file_range, sendfile or splice."""
    strace = shutil.which("strace")
    if strace is None:
        progress("strace not installed: the out-copy's system calls are not checked")
        return
    src, dst, log = (os.path.join(work, name) for name in ("dd-in", "dd-out", "dd-strace"))
    with open(src, "wb") as f:
        f.write(b"x" * (3 * MIB))
    done = subprocess.run([strace, "-f", "-qq", "-o", log, "-e",
                           "trace=read,write,copy_file_range,sendfile,splice"] + dd_argv(src, dst),
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    if done.returncode != 0:
        progress("strace could not trace dd: the out-copy's system calls are not checked")
        remove(src, dst, log)
        return
    with open(log) as f:
        calls = f.read()
    remove(src, dst, log)
    if re.search(r"\b(copy_file_range|sendfile|splice)\(", calls):
        fail("dd copies without passing the bytes through user memory; the out-copy floor "
             "needs a dd that reads and writes")
    if len(re.findall(r"\bwrite\(\d+, .*= 1048576$", calls, re.M)) != 3:
        fail("dd did not write the 3 MiB test file in writes of 1 MiB")


def peak_rss_kib(argv):
    """Runs one command once; returns (peak resident KiB, whether that is an upper bound)."""
    gnu_time = "/usr/bin/time"
    if os.access(gnu_time, os.X_OK):
        probe, exact = [gnu_time, "-f", "%M"], True
    else:
        probe, exact = [sys.executable, "-c", _FORK_PROBE], False
    done = subprocess.run(probe + argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE)
    if done.returncode != 0:
        fail(f"{shlex.join(argv)} failed with status {done.returncode}")
    return int(done.stderr.split()[-1]), not exact


# A process started from Python inherits the interpreter's resident memory into its peak, so
# the peak is taken through GNU time, which is small. Without it, a fresh interpreter forks the
# program and reads the child's resource usage: an upper bound that includes that interpreter.
_FORK_PROBE = """
import os, sys
pid = os.fork()
if pid == 0:
    os.execv(sys.argv[1], sys.argv[1:])
_, status, usage = os.wait4(pid, 0)
print(usage.ru_maxrss, file=sys.stderr)
sys.exit(os.waitstatus_to_exitcode(status))
"""


# --- preparing the workloads ----------------------------------------------------------------

class Bench:
    def __init__(self, talvo, awk, work):
        self.talvo, self.awk, self.work = talvo, awk, work
        self.by_name = {w.name: w for w in WORKLOADS}

    def talvo_argv(self, w, out):
        return [self.talvo, w.path, out] + w.talvo_args

    def prepare(self, w):
        """Generates w's input, runs talvo on it once into w.reference (the out-copy's source)
        and checks that output; stops the script when it is wrong."""
        if w.path is not None:
            return
        w.path = os.path.join(self.work, w.name)
        w.reference = os.path.join(self.work, w.name + ".talvo")
        progress(f"generating {w.name}")
        self.generate(w)
        run_timed(self.talvo_argv(w, w.reference))
        self.check(w)
        w.size_in, w.size_out = os.path.getsize(w.path), os.path.getsize(w.reference)

    def generate(self, w):
        if w.name == "m10w3.csv":
            write_lines(w.path, w.lines, 1, digits12, item_name)
        elif w.name == "m10w3-cp932.csv":
            write_lines(w.path, w.lines, 1, digits12, cp932_name)  # the M10W3 file's numbers
        elif w.name == "7dr.csv":
            write_lines(w.path, w.lines, 3, digits30, item_name)
        elif w.name == "m43.csv":
            write_lines(w.path, w.lines, 2, alphanumeric12, item_name)
        elif w.name == "m10w3-1gb.csv":
            base = self.by_name["m10w3.csv"]
            self.prepare(base)
            with open(base.path, "rb") as f:
                f.readline()
                body = f.read()
            with open(w.path, "wb") as f:
                f.write(HEADER)
                for _ in range(10):
                    f.write(body)
        elif w.name == "one-line.csv":
            with open(w.path, "wb") as f:
                f.write(HEADER)
                f.write(ONE_LINE_VALUE + b",x,0\r\n")
        else:
            raise AssertionError(w.name)

    def check(self, w):
        """talvo's output must have the expected lines and bytes and equal the reference."""
        out = w.reference
        size, want = os.path.getsize(out), (os.path.getsize(w.path) + w.lines * w.added
                                            + w.header_added)
        if size != want:
            fail(f"{w.label}: talvo wrote {size} bytes, expected {want}")
        if count_lines(out) != w.lines + 1:
            fail(f"{w.label}: talvo's output does not hold {w.lines + 1} lines")
        if w.awk:
            if self.awk is None:
                progress(f"{w.label}: no awk, so only the output's lines and bytes are checked")
                return
            script = os.path.join(self.work, w.name + ".awk")
            with open(script, "w") as f:
                f.write(w.awk)
            awk_out = os.path.join(self.work, w.name + ".awk-out")
            progress(f"checking {w.name} against awk")
            with open(awk_out, "wb") as f:
                run_timed([self.awk, "-f", script, w.path], stdout=f, env=AWK_ENV)
            same = same_bytes(out, [(awk_out, 0, os.path.getsize(awk_out))])
            remove(awk_out)
            if not same:
                fail(f"{w.label}: talvo's output differs from the awk script's")
            w.awk_script = script
        elif w.name == "m10w3-1gb.csv":
            base = self.by_name["m10w3.csv"].reference
            with open(base, "rb") as f:
                header = len(f.readline())
            body = (base, header, os.path.getsize(base) - header)
            if not same_bytes(out, [(base, 0, header)] + [body] * 10):
                fail(f"{w.label}: talvo's output is not the M10W3 output ten times over")
        elif w.name == "one-line.csv":
            expected = [HEADER[:-2] + b",OutPut\r\n", ONE_LINE_VALUE, b",x,0,", ONE_LINE_VALUE,
                        m10w3_check_digit(ONE_LINE_VALUE) + b"\r\n"]
            if not same_bytes(out, expected):
                fail(f"{w.label}: talvo's output differs from the line with its check digit")
        else:
            raise AssertionError(w.name)


# --- the rounds ---------------------------------------------------------------------------

def measure(bench, jobs, runs):
    """Times `runs` rounds after one untimed round, which touches the memory that the
    commands' page cache and buffers take (on a virtual machine, memory first touched costs
    the host's page faults). Every output is checked and deleted outside the timing."""
    outs = {c: os.path.join(bench.work, "out." + c.replace("|", "-"))
            for c in ("talvo", "out-copy", "cat|cat", "awk")}
    for round_no in range(-1, runs):
        for w in jobs:
            commands = w.commands(bench.awk is not None and round_no >= 0)
            turn = round_no % len(commands)
            for command in commands[turn:] + commands[:turn]:
                out = outs[command]
                remove(out)
                warm(w.reference if command == "out-copy" else w.path)
                if command == "talvo":
                    wall, usage = run_timed(bench.talvo_argv(w, out))
                    if not same_bytes(out, [(w.reference, 0, os.path.getsize(w.reference))]):
                        fail(f"{w.label}: a timed talvo run wrote another output than the "
                             "checked one")
                    want = os.path.getsize(w.reference)
                elif command == "out-copy":
                    wall, _ = run_timed(dd_argv(w.reference, out))
                    want = os.path.getsize(w.reference)
                elif command == "cat|cat":
                    wall = cat_cat(w.path, out)
                    want = os.path.getsize(w.path)
                else:
                    with open(out, "wb") as f:
                        wall, _ = run_timed([bench.awk, "-f", w.awk_script, w.path], stdout=f,
                                            env=AWK_ENV)
                    if not same_bytes(out, [(w.reference, 0, os.path.getsize(w.reference))]):
                        fail(f"{w.label}: a timed awk run differs from talvo's output")
                    want = os.path.getsize(w.reference)
                if os.path.getsize(out) != want:
                    fail(f"{w.label}: {command} wrote {os.path.getsize(out)} bytes, not {want}")
                remove(out)
                if round_no >= 0:
                    w.times.setdefault(command, []).append(wall)
                    if command == "talvo":
                        w.cpu.append((usage.ru_utime, usage.ru_stime))
            progress(f"  round {round_no + 1}/{runs}: {w.label}" if round_no >= 0
                     else f"  untimed round: {w.label}")
    for w in jobs:
        for command, walls in w.times.items():
            progress(f"{w.label}, {command}: " + " ".join(f"{t:.3f}" for t in walls))
    for w in jobs:
        out = outs["talvo"]
        remove(out)
        w.peak_kib, w.peak_bound = peak_rss_kib(bench.talvo_argv(w, out))
        remove(out)


# --- the tables ---------------------------------------------------------------------------

def mib(kib, bound):
    return ("≤ " if bound else "") + f"{kib / 1024:.1f} MiB"


def megabytes(n):
    return f"{n / 1e6:.0f} MB"


def short_count(n):
    return f"{n // 1_000_000}M" if n >= 1_000_000 and n % 1_000_000 == 0 else f"{n:,}"


def figures(w):
    med = {c: statistics.median(t) for c, t in w.times.items()}
    ratio = med["talvo"] / med["out-copy"]
    best = min(w.times["talvo"]) / min(w.times["out-copy"])
    return med, ratio, best


def main_table(jobs):
    print("| workload | lines | input | output | talvo | out-copy | cat\\|cat "
          "| talvo / out-copy | best / best | talvo input MB/s | talvo user + sys CPU "
          "| talvo peak RSS | awk / talvo |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    for w in jobs:
        med, ratio, best = figures(w)
        size_in, size_out = w.size_in, w.size_out
        user = statistics.median(u for u, _ in w.cpu)
        system = statistics.median(s for _, s in w.cpu)
        awk = f"{med['awk'] / med['talvo']:.0f}" if "awk" in med else "–"
        print(f"| {w.label}, {WHAT_LINES_HOLD[w.name]} | {short_count(w.lines)} "
              f"| {megabytes(size_in)} | {megabytes(size_out)} | {med['talvo']:.3f} s "
              f"| {med['out-copy']:.3f} s | {med['cat|cat']:.3f} s | **{ratio:.2f}** "
              f"| {best:.2f} | {size_in / med['talvo'] / 1e6:.0f} "
              f"| {user:.3f} + {system:.3f} s | {mib(w.peak_kib, w.peak_bound)} | {awk} |")


def memory_table(jobs):
    print("| input | size | talvo | out-copy | cat\\|cat | talvo / out-copy | talvo peak RSS "
          "| peak RSS / input size |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|")
    for w in jobs:
        med, ratio, _ = figures(w)
        size = w.size_in
        print(f"| {w.label} | {megabytes(size)} | {med['talvo']:.3f} s "
              f"| {med['out-copy']:.3f} s | {med['cat|cat']:.3f} s | {ratio:.2f} "
              f"| {mib(w.peak_kib, w.peak_bound)} | {w.peak_kib * 1024 / size:.3f} |")


def describe_machine(root, talvo, runs, load_before):
    commit = subprocess.run(["git", "-C", root, "log", "-1", "--format=%h"],
                            capture_output=True, text=True).stdout.strip() or "?"
    dirty = subprocess.run(["git", "-C", root, "status", "--porcelain", "--", "src"],
                           capture_output=True, text=True).stdout.strip()
    model = ""
    try:
        with open("/proc/cpuinfo") as f:
            model = next((line.split(":", 1)[1].strip() for line in f
                          if line.startswith("model name")), "")
    except OSError:
        pass
    return (f"talvo at {commit}{' with changes under src/' if dirty else ''} ({talvo}); "
            f"{platform.system()} {platform.release()}, {os.cpu_count()} cores"
            f"{', ' + model if model else ''}; median of {runs} runs per command, all "
            f"commands interleaved in one invocation; load average {load_before:.2f} before, "
            f"{os.getloadavg()[0]:.2f} after")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.dirname(here)
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--talvo", help="the program to time (default: build-bench/talvo, "
                        "configured and built first as a release build)")
    parser.add_argument("--runs", type=int, default=DEFAULT_RUNS,
                        help=f"runs of each command (default {DEFAULT_RUNS})")
    parser.add_argument("--only", metavar="REGEX",
                        help="only the workloads whose label REGEX finds, e.g. CP932 or 7DR")
    parser.add_argument("--no-awk", action="store_true",
                        help="skip the awk baseline and the awk references (then only the "
                        "output's lines and bytes are checked)")
    parser.add_argument("--memory", action="store_true",
                        help="also the 1 GB file and the file of one 100 MiB line")
    parser.add_argument("--workdir", help="where to generate the files (default: a new /tmp/perf-*)")
    parser.add_argument("--keep", action="store_true", help="leave the generated files")
    args = parser.parse_args()
    if args.runs < 1:
        parser.error("--runs must be at least 1")

    jobs = [w for w in WORKLOADS if (args.memory or not w.memory)
            and (args.only is None or re.search(args.only, w.label))]
    if not jobs:
        parser.error(f"no workload matches {args.only!r}: "
                     + ", ".join(w.label for w in WORKLOADS))

    if args.talvo is None:
        build = os.path.join(root, "build-bench")
        progress("building build-bench/talvo (release)")
        subprocess.run(["cmake", "-S", root, "-B", build, "-DCMAKE_BUILD_TYPE=Release"],
                       check=True, stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", build, "-j2", "--target", "talvo"], check=True,
                       stdout=subprocess.DEVNULL)
        args.talvo = os.path.join(build, "talvo")
    talvo = os.path.abspath(args.talvo)
    if not os.access(talvo, os.X_OK):
        fail(f"no program at {talvo}")
    awk = None if args.no_awk else shutil.which("mawk")
    if not args.no_awk and awk is None:
        fail("mawk not found (apt-get install mawk), or pass --no-awk")

    load_before = os.getloadavg()[0]
    work = args.workdir or tempfile.mkdtemp(prefix="perf-", dir="/tmp")
    os.makedirs(work, exist_ok=True)
    try:
        check_dd_copies_through_memory(work)
        bench = Bench(talvo, awk, work)
        for w in jobs:
            bench.prepare(w)
        flush([p for w in jobs for p in (w.path, w.reference)])
        measure(bench, jobs, args.runs)
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)
        else:
            progress(f"files kept in {work}")

    print()
    print(describe_machine(root, talvo, args.runs, load_before))
    print()
    main_jobs = [w for w in jobs if not w.memory]
    if main_jobs:
        main_table(main_jobs)
    memory_jobs = [w for w in jobs if w.memory]
    if memory_jobs:
        if main_jobs:
            print()
        memory_table(memory_jobs)
    print()
    print("reproduce with:")
    print()
    print("    " + shlex.join(["python3", "bench/throughput.py"] + sys.argv[1:]))


if __name__ == "__main__":
    main()
