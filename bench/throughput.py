#!/usr/bin/env python3
"""Whole-run throughput of talvo beside the baselines a user has anyway.

Generates deterministic CSV files of about 100 MB (a header and 4 million data lines) in a
temporary folder, then times, round by round so that the machine's noise falls on every
command alike:

  copy floor   cat in | cat > out, on each input file
  awk          a mawk script doing the same job (its output must equal talvo's byte for byte)
  talvo        M10W3 (c=6, f=1, r=1, w=1) on 12-digit values,
               M43 (c=10, w=0) on alphanumeric values,
               7DR (c=0, w=1) on 30-digit values

and prints the median wall time of each, the ratio of every talvo run to the copy floor of the
same file (of the medians, and of the fastest run of each) and to the awk script for the same
job, and the peak resident memory of the talvo runs.

--memory adds the memory checks: a 1 GB file (the 100 MB file's lines ten times over) and a file
holding one 100 MB line, whose target value is the whole line.

Without --talvo it first configures and builds build-bench/ as a release build. Peak memory is
taken with GNU time (Debian package `time`) where it is installed; without it the figure is an
upper bound that includes some 10 MiB of the Python interpreter that starts the program. The
awk baselines need mawk. Nothing is left behind unless --keep is given.

    python3 bench/throughput.py              # the table of the README
    python3 bench/throughput.py --memory     # and the 1 GB and one-line files
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

LINES = 4_000_000
HEADER = b"code,name,qty\r\n"
MIB = 1024 * 1024

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


def _write_lines(path, make_value, seed, lines=LINES, chunk=200_000):
    numbers = _numbers(seed)
    with open(path, "wb") as f:
        f.write(HEADER)
        for start in range(0, lines, chunk):
            f.write(b"".join(
                b"%s,item%d,%d\r\n" % (make_value(next(numbers)), i, i % 10)
                for i in range(start, min(start + chunk, lines))))


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


# The awk scripts a user would write for the same jobs; digits-only (and Code 39-only) values,
# which is what the generated files hold.
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


def run_once(argv, stdout_path=None):
    """Runs one command; returns its wall seconds."""
    stdout = open(stdout_path, "wb") if stdout_path else subprocess.DEVNULL
    try:
        start = time.perf_counter()
        rc = subprocess.run(argv, stdin=subprocess.DEVNULL, stdout=stdout).returncode
        wall = time.perf_counter() - start
    finally:
        if stdout_path:
            stdout.close()
    if rc != 0:
        sys.exit(f"{' '.join(argv)} failed with status {rc}")
    return wall


# A process started from Python inherits the interpreter's resident memory into its peak, so
# the peak is taken through GNU time, which is small. Without it, a fresh interpreter forks
# the program and the figure is an upper bound that includes about 10 MiB of that interpreter.
_FORK_PROBE = """
import os, sys
pid = os.fork()
if pid == 0:
    os.execv(sys.argv[1], sys.argv[1:])
_, status, usage = os.wait4(pid, 0)
print(usage.ru_maxrss, file=sys.stderr)
sys.exit(os.waitstatus_to_exitcode(status))
"""


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
        sys.exit(f"{' '.join(argv)} failed with status {done.returncode}")
    return int(done.stderr.split()[-1]), not exact


def copy_floor(src, dst):
    """cat in | cat > out, timed from the first start to the last end."""
    with open(src, "rb") as fin, open(dst, "wb") as fout:
        start = time.perf_counter()
        first = subprocess.Popen(["cat"], stdin=fin, stdout=subprocess.PIPE)
        second = subprocess.Popen(["cat"], stdin=first.stdout, stdout=fout)
        first.stdout.close()
        rc = (first.wait(), second.wait())
        wall = time.perf_counter() - start
    if rc != (0, 0):
        sys.exit("cat | cat failed")
    return wall


class Job:
    def __init__(self, label, path, talvo_args, awk_script):
        self.label, self.path, self.talvo_args, self.awk_script = label, path, talvo_args, awk_script
        self.times = {"copy": [], "awk": [], "talvo": []}
        self.peak_kib, self.peak_bound = 0, False

    def talvo_argv(self, talvo, out):
        return [talvo, self.path, out] + self.talvo_args


def remove(*paths):
    for path in paths:
        if os.path.exists(path):
            os.remove(path)


def measure(jobs, talvo, awk, work, runs):
    out = os.path.join(work, "out.csv")
    awk_out = os.path.join(work, "out.awk.csv")
    for round_no in range(runs):
        for job in jobs:
            remove(out)
            job.times["copy"].append(copy_floor(job.path, out))
            remove(out)
            job.times["talvo"].append(run_once(job.talvo_argv(talvo, out)))
            if awk:
                remove(awk_out)
                job.times["awk"].append(run_once([awk, "-f", job.awk_script, job.path], awk_out))
                if round_no == 0 and not same_file(out, awk_out):
                    sys.exit(f"{job.label}: talvo's output differs from the awk script's")
            print(f"  round {round_no + 1}/{runs}: {job.label}", file=sys.stderr)
    for job in jobs:
        remove(out)
        job.peak_kib, job.peak_bound = peak_rss_kib(job.talvo_argv(talvo, out))
    remove(out, awk_out)


def same_file(a, b):
    with open(a, "rb") as fa, open(b, "rb") as fb:
        while True:
            x, y = fa.read(MIB), fb.read(MIB)
            if x != y:
                return False
            if not x:
                return True


def mib(kib, bound):
    return ("<= " if bound else "") + f"{kib / 1024:.1f} MiB"


def table(jobs, runs, awk):
    print(f"median of {runs} runs, wall seconds; every ratio is against a baseline timed in the "
          "same invocation")
    print()
    print("| run | input | copy floor | awk | talvo | talvo / copy floor | best / best "
          "| awk / talvo | talvo peak RSS |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|")
    for job in jobs:
        copy = statistics.median(job.times["copy"])
        talvo_s = statistics.median(job.times["talvo"])
        # The fastest run of each beside the fastest of the other: the least disturbed by the
        # rest of a shared machine.
        best = min(job.times["talvo"]) / min(job.times["copy"])
        awk_s = statistics.median(job.times["awk"]) if awk else None
        size = os.path.getsize(job.path) / 1e6
        print(f"| {job.label} | {size:.0f} MB | {copy:.3f} s "
              f"| {f'{awk_s:.2f} s' if awk else '-'} | {talvo_s:.3f} s | {talvo_s / copy:.2f} "
              f"| {best:.2f} | {f'{awk_s / talvo_s:.0f}' if awk else '-'} "
              f"| {mib(job.peak_kib, job.peak_bound)} |")


def memory_checks(talvo, work, m10w3_path, runs):
    """The 1 GB file and the one-line file, M10W3 with an added column."""
    out = os.path.join(work, "out.csv")

    big = os.path.join(work, "m10w3.1gb.csv")
    with open(m10w3_path, "rb") as f:
        f.readline()
        body = f.read()
    with open(big, "wb") as f:
        f.write(HEADER)
        for _ in range(10):
            f.write(body)
    del body

    # The whole line is the target value, so the check result is as long as the line.
    long_line = os.path.join(work, "one-line.csv")
    with open(long_line, "wb") as f:
        f.write(HEADER)
        f.write(b"0123456789" * (10 * MIB) + b",x,0\r\n")

    print()
    print(f"memory checks, talvo c=6 f=1 r=1 w=1; median of {runs} runs")
    print()
    print("| input | size | copy floor | talvo | talvo / copy floor | talvo peak RSS "
          "| peak RSS / input size |")
    print("|---|---:|---:|---:|---:|---:|---:|")
    for label, path in (("1 GB file", big), ("one line of 100 MiB", long_line)):
        copies, walls = [], []
        argv = [talvo, path, out, "1", "1", "1", "6"]
        for _ in range(runs):
            remove(out)
            copies.append(copy_floor(path, out))
            remove(out)
            walls.append(run_once(argv))
        remove(out)
        peak_kib, bound = peak_rss_kib(argv)
        remove(out)
        size = os.path.getsize(path)
        copy, wall = statistics.median(copies), statistics.median(walls)
        print(f"| {label} | {size / 1e6:.0f} MB | {copy:.3f} s | {wall:.3f} s | {wall / copy:.2f} "
              f"| {mib(peak_kib, bound)} | {peak_kib * 1024 / size:.2f} |")
        remove(path)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--talvo", help="the program to time (default: build-bench/talvo, "
                        "configured and built first as a release build)")
    parser.add_argument("--runs", type=int, default=7, help="runs of each command (default 7)")
    parser.add_argument("--no-awk", action="store_true", help="skip the awk baselines")
    parser.add_argument("--memory", action="store_true",
                        help="also run the 1 GB file and the one-100-MB-line file")
    parser.add_argument("--workdir", help="where to generate the files (default: a new /tmp/perf-*)")
    parser.add_argument("--keep", action="store_true", help="leave the generated files")
    args = parser.parse_args()

    if args.talvo is None:
        root = os.path.dirname(here)
        build = os.path.join(root, "build-bench")
        print("building build-bench/talvo (release)", file=sys.stderr)
        subprocess.run(["cmake", "-S", root, "-B", build, "-DCMAKE_BUILD_TYPE=Release"],
                       check=True, stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", build, "-j2", "--target", "talvo"], check=True,
                       stdout=subprocess.DEVNULL)
        args.talvo = os.path.join(build, "talvo")
    talvo = os.path.abspath(args.talvo)
    if not os.access(talvo, os.X_OK):
        sys.exit(f"no program at {talvo}")
    awk = None if args.no_awk else shutil.which("mawk")
    if not args.no_awk and awk is None:
        sys.exit("mawk not found (apt-get install mawk), or pass --no-awk")

    work = args.workdir or tempfile.mkdtemp(prefix="perf-", dir="/tmp")
    os.makedirs(work, exist_ok=True)
    try:
        print(f"generating input files in {work}", file=sys.stderr)
        runs_to_time = [
            ("M10W3 c=6 w=1", "m10w3.csv", digits12, 1, ["1", "1", "1", "6"], AWK_M10W3),
            ("M43 c=10 w=0", "m43.csv", alphanumeric12, 2, ["1", "1", "0", "10"], AWK_M43),
            ("7DR c=0 w=1", "7dr.csv", digits30, 3, ["1", "1", "1", "0"], AWK_7DR),
        ]
        jobs = []
        for label, name, make, seed, talvo_args, script in runs_to_time:
            path = os.path.join(work, name)
            _write_lines(path, make, seed)
            script_path = os.path.join(work, name + ".awk")
            with open(script_path, "w") as f:
                f.write(script)
            jobs.append(Job(label, path, talvo_args, script_path))

        measure(jobs, talvo, awk, work, args.runs)
        print()
        table(jobs, args.runs, awk is not None)
        if args.memory:
            memory_checks(talvo, work, jobs[0].path, args.runs)
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
