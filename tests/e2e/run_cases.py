#!/usr/bin/env python3
"""Runs the end-to-end case table against one build of talvo, byte for byte.

Every case writes its input file into a fresh folder, runs the program with its arguments,
and compares the output file, standard output, standard error and exit status with what the
case expects, and checks that the input file is unchanged. A case may set the program's
resource limits (preexec), add to its environment, judge an output it cannot give byte for byte
with its own output_check (the first whole lines of a file that filled up), and send the running
program a signal once a condition of its own holds (interrupt).

  run_cases.py --program build/talvo
  run_cases.py --program build-sanitize/talvo --sanitized   # cases that cannot apply are skipped
  run_cases.py --program build-windows/talvo.exe --wine wine \
      --launcher build-windows/tests/run_with_command_line.exe   # the Windows build

A case may give the whole command line instead of the arguments (Windows only): it is handed
to the program exactly, through the launcher, with the placeholders filled in. A case may run
the program through a symbolic link in a folder of its own (POSIX).

The native build runs under LC_ALL=C, so that the machine's own locale cannot change the console
bytes a case expects; a case may name another locale in its environment. The Windows build runs
under LC_ALL=ja_JP.UTF-8, which gives wine the code page 932.

Paths in a case are written with placeholders: {in} the input file, {out} the output file,
{dir} the case's folder, {sep} the directory separator. Under wine they become Windows paths on
drive Z:, so one table serves both builds. In expected standard error, {module} is the program
file's name and {address} stands for any 8 upper-case hexadecimal digits.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import cases as case_table  # noqa: E402


class Host:
    """How paths are spelled and the program is started for one build."""

    def __init__(self, program, wine, launcher=None):
        self.program = os.path.abspath(program)
        self.wine = wine
        self.launcher = os.path.abspath(launcher) if launcher else None
        self.module = os.path.basename(program).encode()
        self.sep = b"\\" if wine else b"/"

    def path(self, unix_path):
        raw = os.fsencode(unix_path)
        if self.wine:
            return b"Z:" + raw.replace(b"/", b"\\")
        return raw

    def command(self, args, program=None):
        program = program or self.program
        if self.wine:
            return [self.wine, program] + list(args)
        return [program] + list(args)

    def exact_command(self, command_line):
        """Starts the program with `command_line` as it is, through the launcher."""
        return [
            self.wine,
            self.launcher,
            self.path(self.program),
            command_line.hex().encode(),
        ]

    def environment(self):
        env = dict(os.environ)
        if self.wine:
            env.setdefault("WINEDEBUG", "-all")
            env["LC_ALL"] = "ja_JP.UTF-8"
        else:
            env["LC_ALL"] = "C"
        return env


def expand(template, values):
    out = template
    for key, value in values.items():
        out = out.replace(b"{" + key.encode() + b"}", value)
    return out


def stderr_matches(expected, actual, module):
    pattern = re.escape(expected.replace(b"{module}", module))
    pattern = pattern.replace(re.escape(b"{address}"), b"[0-9A-F]{8}")
    return re.fullmatch(pattern, actual, re.DOTALL) is not None


def show(data):
    return repr(data[:400]) + (" ..." if len(data) > 400 else "")


def run_case(case, host, work):
    folder = os.path.join(work, case.name)
    os.makedirs(folder)
    in_path = os.path.join(folder, case.input_name)
    out_path = os.path.join(folder, case.output_name)
    os.makedirs(os.path.dirname(in_path), exist_ok=True)  # a name may hold folders
    if case.input is not None:
        with open(in_path, "wb") as f:
            f.write(case.input)
    if case.existing_output is not None:
        os.makedirs(os.path.dirname(out_path), exist_ok=True)
        with open(out_path, "wb") as f:
            f.write(case.existing_output)
    values = {
        "in": host.path(in_path),
        "out": host.path(out_path),
        "dir": host.path(folder),
        "sep": host.sep,
    }
    context = case_table.Context(folder, in_path, out_path, host.wine is not None)
    cleanup = case.setup(context) if case.setup else None
    program = None
    if case.program_folder is not None:
        link_folder = os.path.join(os.fsencode(folder), case.program_folder)
        os.makedirs(link_folder)
        program = os.path.join(link_folder, os.path.basename(os.fsencode(host.program)))
        os.symlink(host.program, program)
    if case.command_line is not None:
        command = host.exact_command(expand(case.command_line, values))
    else:
        command = host.command([expand(a, values) for a in case.args], program)
    try:
        options = dict(
            cwd=folder,
            env={**host.environment(), **(case.environment or {})},
            preexec_fn=case.preexec,
        )
        if case.interrupt:
            proc, problem = run_interrupted(command, case, context, options)
            if problem:
                return [problem]
        else:
            proc = subprocess.run(
                command, input=case.stdin, capture_output=True, timeout=120, **options
            )
        # Checked before the clean-up, which may take away what the run wrote (a mount).
        return check_run(case, proc, host, values, in_path, out_path)
    finally:
        if cleanup:
            cleanup()


def run_interrupted(command, case, context, options):
    """Runs the program, and sends it the case's signal once the case's condition holds.
    Returns the finished process (as subprocess.run would) and a problem, if the moment never
    came."""
    proc = subprocess.Popen(
        command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE, **options
    )
    result = {}
    # Its console streams are read all along, so that the program never waits on them.
    reader = threading.Thread(
        target=lambda: result.update(out=proc.communicate(case.stdin)), daemon=True
    )
    reader.start()
    problem = None
    deadline = time.monotonic() + 60
    while not case.interrupt.ready(context):
        if proc.poll() is not None:
            problem = f"ended (status {proc.returncode}) before the moment to interrupt it"
            break
        if time.monotonic() > deadline:
            problem = "the moment to interrupt it never came"
            proc.kill()
            break
        time.sleep(0.01)
    else:
        proc.send_signal(case.interrupt.signal)
    reader.join(timeout=120)
    if reader.is_alive():
        proc.kill()
        reader.join()
        problem = problem or "still running two minutes after the signal"
    stdout, stderr = result.get("out", (b"", b""))
    return subprocess.CompletedProcess(command, proc.wait(), stdout, stderr), problem


def check_run(case, proc, host, values, in_path, out_path):
    problems = []
    if proc.returncode != case.status:
        problems.append(f"exit status {proc.returncode}, expected {case.status}")
    expected_stdout = expand(case.stdout, values)
    if proc.stdout != expected_stdout:
        problems.append(f"stdout {show(proc.stdout)}\n      expected {show(expected_stdout)}")
    expected_stderr = case.stderr(host.module) if callable(case.stderr) else case.stderr
    expected_stderr = expand(expected_stderr, values)
    if not stderr_matches(expected_stderr, proc.stderr, host.module):
        problems.append(f"stderr {show(proc.stderr)}\n      expected {show(expected_stderr)}")
    if case.input is not None and os.path.isfile(in_path):
        with open(in_path, "rb") as f:
            if f.read() != case.input:
                problems.append("the input file was changed")
    if case.check_output:
        if case.output is None:
            if os.path.exists(out_path) and case.existing_output is None:
                problems.append("an output file was created")
            elif case.existing_output is not None:
                with open(out_path, "rb") as f:
                    if f.read() != case.existing_output:
                        problems.append("the existing output file was changed")
        elif not os.path.isfile(out_path):
            problems.append("no output file")
        else:
            with open(out_path, "rb") as f:
                actual = f.read()
            if actual != case.output:
                problems.append(f"output {show(actual)}\n      expected {show(case.output)}")
    if case.output_check:
        actual = None
        if os.path.isfile(out_path):
            with open(out_path, "rb") as f:
                actual = f.read()
        problem = case.output_check(actual)
        if problem:
            problems.append(f"output: {problem}")
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", required=True)
    parser.add_argument("--wine", help="wine command; runs a Windows build under it")
    parser.add_argument("--launcher", help="Windows program that starts another with an exact "
                        "command line; needed by the cases that give one")
    parser.add_argument("--sanitized", action="store_true", help="the program is built with a "
                        "sanitizer: cases that limit its address space cannot apply")
    parser.add_argument("--only", help="regular expression over case names")
    parser.add_argument("--keep", action="store_true", help="keep the work folder")
    opts = parser.parse_args()

    host = Host(opts.program, opts.wine, opts.launcher)
    build = case_table.Build(windows=opts.wine is not None, sanitized=opts.sanitized)
    selected = [
        c
        for c in case_table.CASES
        if (not opts.only or re.search(opts.only, c.name))
        and (c.platforms is None or ("windows" if opts.wine else "posix") in c.platforms)
    ]
    work = tempfile.mkdtemp(prefix="talvo-e2e-")
    failed = skipped = 0
    try:
        for case in selected:
            reason = case.skip(build) if case.skip else None
            if not reason and case.command_line is not None and not host.launcher:
                reason = "an exact command line needs --launcher"
            if reason:
                skipped += 1
                print(f"SKIP {case.name}: {reason}")
                continue
            problems = run_case(case, host, work)
            if problems:
                failed += 1
                print(f"FAIL {case.name}")
                for p in problems:
                    print(f"    {p}")
    finally:
        if opts.keep:
            print(f"work folder kept: {work}")
        else:
            shutil.rmtree(work, ignore_errors=True)
    passed = len(selected) - failed - skipped
    print(f"{passed} passed, {failed} failed, {skipped} skipped")
    return 1 if failed or passed == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
