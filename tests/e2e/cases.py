"""The end-to-end case table, shared by the native build and the Windows build under wine.

Console texts are spelled here in Japanese and encoded to code page 932 by Python, apart from
the program's own byte escapes, so a wrong byte on either side shows up. The cases under a UTF-8
locale (POSIX) expect the program's own texts in UTF-8 and everything the user gave as given.
"""
import os
import shutil
import stat
import threading
from dataclasses import dataclass, field
from typing import Callable, List, Optional, Union

FIXTURES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fixtures")
# The sample that the packages ship and their example scripts run.
EXAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples")


def fixture(name, folder=FIXTURES):
    with open(os.path.join(folder, name), "rb") as f:
        return f.read()


def sjis(text):
    return text.encode("cp932")


def utf8(text):
    return text.encode("utf-8")


BOM = b"\xef\xbb\xbf"


CRLF = b"\r\n"

USAGE = CRLF.join(
    sjis(line)
    for line in [
        "",
        "talvo.exe i o f r w c",
        "",
        "i:入力CSVファイル名フルパス",
        "o:出力CSVファイル名フルパス",
        "f:項目行有無",
        "    0:なし",
        "    1:あり",
        "r:処理対象列(何列目かを数値で指定)",
        "w:書き込み列",
        "    0:同列に上書き",
        "    1:最後尾に列を追加",
        "c:チェックデジット種別",
        "    0:7DR",
        "    1:7DSR",
        "    2:9DR",
        "    3:9DSR",
        "    4:M10W2",
        "    5:ルーンズM10W2",
        "    6:M10W3",
        "    7:M11",
        "    8:加重M11",
        "    9:M16",
        "   10:M43",
    ]
) + CRLF

CANNOT_OPEN = sjis("ファイルを開けません") + CRLF
ACCESS_DENIED = sjis("ファイルへのアクセスが拒否されました") + CRLF + CANNOT_OPEN
SHARING = sjis("I/O エラー (32)") + CRLF + CANNOT_OPEN
MARKER = sjis(",文字列異常")


def report(kind, message, encode=sjis):
    """The failure report, its own words encoded by `encode`; {module} and {address} are filled
    in by the runner."""
    text = (
        kind.encode()
        + encode(" がモジュール ")
        + b"{module}"
        + encode(" の ")
        + b"{address}"
        + encode(" で発生しました。")
        + CRLF
        + message
    )
    if message and not message.endswith(b"."):
        text += b"."
    return text + CRLF + CRLF


def not_integer(text, encode=sjis):
    return report("EConvertError", b"'" + text + encode("' は整数ではありません"), encode)


def io_report(code_text):
    return report("EInOutError", sjis(code_text))


def every_byte(data):
    """Where the characters of `data` end on a console that takes bytes as they are."""
    return range(1, len(data) + 1)


def utf8_characters(data):
    """Where the characters of `data` end on a UTF-8 console: a byte that starts no whole UTF-8
    character counts as one."""
    ends, at = [], 0
    while at < len(data):
        size = next((n for n in (1, 2, 3, 4) if valid_utf8(data[at : at + n])), 1)
        at += size
        ends.append(at)
    return ends


def valid_utf8(data):
    try:
        data.decode("utf-8")
        return True
    except UnicodeDecodeError:
        return False


def cut_report(kind, message, encode=sjis, character_ends=every_byte):
    """A report longer than 1024 bytes: cut at the last end of a character within its first 1024
    bytes (after its 1024th byte, where the console takes bytes as they are), then CR LF."""

    def build(module):
        full = report(kind, message, encode)[:-2].replace(b"{module}", module)
        at = full.index(b"{address}")
        filled = full.replace(b"{address}", b"00000000")
        filled = filled[: max(end for end in character_ends(filled) if end <= 1024)]
        return filled[:at] + b"{address}" + filled[at + 8 :] + CRLF

    return build


@dataclass
class Context:
    """What a case's setup may touch."""

    folder: str
    in_path: str
    out_path: str
    windows: bool


@dataclass
class Build:
    """What a case's skip is told of the build under test."""

    windows: bool
    sanitized: bool  # built with AddressSanitizer or ThreadSanitizer


@dataclass
class Interrupt:
    """A signal sent to the running program once `ready` (given the case's Context) says the
    moment has come; polled until then."""

    signal: int
    ready: Callable[[Context], bool]


@dataclass
class Case:
    name: str
    args: List[bytes]
    input: Optional[bytes] = b""
    output: Optional[bytes] = None  # None: no output file may be created (or changed)
    stdout: bytes = b""
    stderr: Union[bytes, Callable[[bytes], bytes]] = b""
    status: int = 0
    stdin: bytes = b""
    existing_output: Optional[bytes] = None
    setup: Optional[Callable[[Context], Optional[Callable[[], None]]]] = None
    skip: Optional[Callable[[Build], Optional[str]]] = None
    platforms: Optional[List[str]] = None  # None: every platform
    command_line: Optional[bytes] = None  # the whole command line, given exactly (Windows)
    check_output: bool = True
    input_name: str = "in.csv"
    output_name: str = "out.csv"
    # Runs in the child before the program starts (POSIX): resource limits.
    preexec: Optional[Callable[[], None]] = None
    environment: Optional[dict] = None  # added to the program's environment
    # Runs the program through a symbolic link in this folder of the case's folder (POSIX).
    program_folder: Optional[bytes] = None
    # Given the output file's bytes (None when there is none); returns a problem or None.
    output_check: Optional[Callable[[Optional[bytes]], Optional[str]]] = None
    # Sent while the program runs (POSIX); `status` is then the signal's, negated.
    interrupt: Optional[Interrupt] = None


def run(name, input, f, r, w, c, output, **kw):
    """A run over {in} into {out} with the four settings."""
    settings = [s if isinstance(s, bytes) else str(s).encode() for s in (f, r, w, c)]
    return Case(name, [b"{in}", b"{out}"] + settings, input=input, output=output, **kw)


def read_only(ctx):
    os.chmod(ctx.out_path, stat.S_IRUSR | stat.S_IRGRP | stat.S_IROTH)
    return lambda: os.chmod(ctx.out_path, stat.S_IRUSR | stat.S_IWUSR)


def hard_link_output(ctx):
    os.link(ctx.in_path, ctx.out_path)


def no_dev_full(_build):
    return None if os.path.exists("/dev/full") else "this machine has no /dev/full"


HEADER_INPUT = b"code,name\r\n123456,x\r\n1234,y\r\n"
LONG_W = b"x" * 2000

CASES = [
    # --- header rules and write modes ---------------------------------------------------------
    run("header_append", HEADER_INPUT, 1, 1, 1, 0,
        b"code,name,OutPut\r\n123456,x,1234564\r\n1234,y,12342\r\n"),
    run("header_overwrite", HEADER_INPUT, 1, 1, 0, 0, b"code,name\r\n1234564,x\r\n12342,y\r\n"),
    run("no_header_last_line_without_end", b"123456,x\r\n1234,y", 0, 1, 1, 7,
        b"123456,x,1234561\r\n1234,y,none\r\n"),
    run("header_compared_as_text_w01", b"h,i\r\n5,x\r\n", 1, 1, b"01", 6, b"h,i\r\n5,x,55\r\n"),
    run("header_flag_01_means_no_header", b"5,x\r\n", b"01", 1, 1, 6, b"5,x,55\r\n"),
    run("header_flag_blank_1_means_no_header", b"5\r\n9,a\r\n", b" 1", 1, 1, 6,
        b"5,55\r\n9,93,\r\n"),
    run("empty_input_header_append", b"", 1, 1, 1, 6, b",OutPut\r\n"),
    run("empty_input_header_overwrite", b"", 1, 1, 0, 6, b"\r\n"),
    run("empty_input_no_header", b"", 0, 1, 1, 6, b""),
    run("only_header_bad_w_never_converted", b"h,i\r\n", 1, 1, b"x", 6, b"h,i\r\n"),
    run("append_shorter_and_longer_lines", b"h1,h2\r\n5\r\n9,a,b\r\n", 1, 1, 1, 6,
        b"h1,h2,OutPut\r\n5,55\r\n9,a,93,\r\n"),
    run("write_mode_2_puts_result_in_front", b"5,x\r\n9,y\r\n", 0, 1, 2, 4,
        b"505,x\r\n929,y\r\n"),
    run("overwrite_column_beyond_line", b"12,34\r\n", 0, 5, 0, 6, b"12,0\r\n"),
    run("overwrite_column_0_goes_in_front", b"a,b\r\n", 0, 0, 0, 6, b"0a,b\r\n"),
    run("append_column_negative", b"a,b\r\n", 0, -1, 1, 6, b"a,b,0\r\n"),
    run("column_2147483647", b"a,b\r\n", 0, 2147483647, 0, 6, b"a,0\r\n"),
    run("settings_as_lenient_integer_text", b"a,490123456789\r\n", 0, b"$2", b" 1", b"0x6",
        b"a,490123456789,4901234567894\r\n"),
    run("check_type_11_runs_nothing_append", b"a,b\r\n", 0, 1, 1, 11, b"a,b,\r\n"),
    run("check_type_11_runs_nothing_overwrite", b"a,b\r\n", 0, 1, 0, 11, b",b\r\n"),
    run("sample_fixture_m10w3", fixture("sample.csv"), 1, 1, 1, 6,
        fixture("sample.m10w3.expected.csv")),
    # tools/package.sh checks each package's example run against the same expected file.
    run("shipped_example_m10w3", fixture("sample.csv", EXAMPLES), 1, 1, 1, 6,
        fixture("examples_sample.m10w3.expected.csv")),
    # --- every method family through the binary ----------------------------------------------
    run("method_7dr", b"123456\r\n", 0, 1, 1, 0, b"123456,1234564\r\n"),
    run("method_7dsr", b"123456\r\n", 0, 1, 1, 1, b"123456,1234563\r\n"),
    run("method_9dr", b"123456\r\n", 0, 1, 1, 2, b"123456,1234563\r\n"),
    run("method_9dsr", b"123456\r\n", 0, 1, 1, 3, b"123456,1234566\r\n"),
    run("method_m10w2", b"490123456789\r\n", 0, 1, 1, 4, b"490123456789,4901234567898\r\n"),
    run("method_luhn", b"7992739871\r\n", 0, 1, 1, 5, b"7992739871,79927398713\r\n"),
    run("method_m10w3", b"490123456789\r\n", 0, 1, 1, 6, b"490123456789,4901234567894\r\n"),
    run("method_m11", b"123456\r\n12345\r\n", 0, 1, 1, 7, b"123456,1234561\r\n12345,none\r\n"),
    run("method_weighted_m11", b"123456789\r\n6\r\n", 0, 1, 1, 8,
        b"123456789,1234567891\r\n6,60\r\n"),
    run("method_m16", b"A1234B\r\nA\r\n", 0, 1, 1, 9, b"A1234B,A12345B\r\nA,0A\r\n"),
    run("method_m43", b"CODE 39\r\nabc\r\n", 0, 1, 0, 10,
        b"CODE 39R\r\nInput Character Error\r\n"),
    run("method_remainder_errors", b"12\r\n123 \r\n" + b"1" * 37 + b"\r\n", 0, 1, 0, 0,
        b"none\r\nInput Character Error\r\nInput Length Error\r\n"),
    # --- the marker for a column or check type that is not integer text ----------------------
    run("marker_bad_column_append", b"h,i\r\na,b\r\n", 1, b"x", 1, 6, b"h,i,OutPut\r\na,b,,\r\n"),
    run("marker_bad_check_type_overwrite", b"a,b\r\n", 0, 1, 0, b"x", b",b" + MARKER + b"\r\n"),
    run("marker_bad_check_type_append", b"a,b\r\nc\r\n", 0, 1, 1, b"6 ",
        b"a,b,,\r\nc" + MARKER + b",\r\n"),
    # --- line rules ---------------------------------------------------------------------------
    run("lone_cr_is_dropped", b"12\r34\r\n", 0, 1, 1, 6, b"1234,12348\r\n"),
    run("lf_alone_ends_a_line", b"5\n9\r\n\n", 0, 1, 1, 6, b"5,55\r\n9,93\r\n,0\r\n"),
    run("eof_mark_at_line_start_ends_input", b"A\r\n\x1aB\r\nC\r\n", 0, 1, 1, 10, b"A,AA\r\n"),
    run("eof_mark_inside_line_skips_its_rest", b"ABC\x1aDEF\r\nGHI", 0, 1, 1, 10,
        b"ABC,ABCX\r\nGHI,GHI8\r\n"),
    run("second_eof_mark_while_skipping_ends_input", b"AB\x1aX\x1aY\r\nCD\r\n", 0, 1, 1, 10,
        b"AB,ABL\r\n"),
    run("eof_mark_first_byte_with_header", b"\x1ah,i\r\n", 1, 1, 0, 6, b"\r\n"),
    run("nul_is_an_ordinary_byte_in_fields", b"a\x00,b,C\r\n", 0, 3, 1, 10,
        b"a\x00,b,C,CC\r\n"),
    run("nul_in_value_is_a_character_error", b"12\x003\r\n", 0, 1, 1, 0,
        b"12\x003,Input Character Error\r\n"),
    run("lead_byte_never_takes_a_comma", b"\x81,123\r\n", 0, 2, 1, 6, b"\x81,123,1236\r\n"),
    run("double_byte_text_kept", sjis("表示,490123456789\r\n"), 0, 2, 0, 6,
        sjis("表示,4901234567894\r\n")),
    # --- files that are not pure code page 932: every comma separates ------------------------
    # UTF-8 text right before a comma, at odd (9 bytes) and even (12 bytes) offsets: its last
    # byte (0x94, 0xB1) leads in code page 932, but a comma is never a second byte.
    run("utf8_text_before_a_comma_odd", utf8("りんご,490123456789\r\n"), 0, 2, 0, 6,
        utf8("りんご,4901234567894\r\n")),
    run("utf8_text_before_a_comma_even", utf8("みかん箱,490123456789\r\nぶどう,5\r\n"), 0, 2, 1, 6,
        utf8("みかん箱,490123456789,4901234567894\r\nぶどう,5,55\r\n")),
    run("utf8_text_in_every_column", utf8("品名,コード\r\nりんご,490123456789\r\n"), 1, 2, 1, 6,
        utf8("品名,コード,OutPut\r\nりんご,490123456789,4901234567894\r\n")),
    run("stray_lead_byte_before_a_comma", b"x\x81,5\r\n", 0, 2, 0, 6, b"x\x81,55\r\n"),
    run("stray_lead_byte_at_the_end_of_a_line", b"5,\x81\r\n7,\xE0\n", 0, 1, 1, 6,
        b"5,\x81,55\r\n7,\xE0,79\r\n"),
    # A UTF-8 byte-order mark belongs to no field: it goes first to the output, and the file is
    # read as if it began after it.
    run("bom_header_added_column", BOM + utf8("コード,名前\r\n490123456789,りんご\r\n"), 1, 1, 1, 6,
        BOM + utf8("コード,名前,OutPut\r\n490123456789,りんご,4901234567894\r\n")),
    run("bom_header_overwrite", BOM + b"code\r\n490123456789\r\n", 1, 1, 0, 6,
        BOM + b"code\r\n4901234567894\r\n"),
    run("bom_no_header_overwrite", BOM + utf8("490123456789,りんご\r\n5,x\r\n"), 0, 1, 0, 6,
        BOM + utf8("4901234567894,りんご\r\n55,x\r\n")),
    run("bom_no_header_added_column", BOM + b"490123456789\r\n5\r\n", 0, 1, 1, 6,
        BOM + b"490123456789,4901234567894\r\n5,55\r\n"),
    # The mark starts the output's first line: with no line at all, there is nothing to write.
    run("bom_only_no_header", BOM, 0, 1, 1, 6, b""),
    run("bom_only_header", BOM, 1, 1, 1, 6, BOM + b",OutPut\r\n"),
    run("bom_bytes_later_are_ordinary", b"5,x\r\n" + BOM + b"7\r\n", 0, 1, 1, 6,
        b"5,x,55\r\n" + BOM + b"7,Input Character Error\r\n"),
    run("long_line_spans_blocks", b"9" * 3_000_000 + b"\r" + b"9" * 2_000_000 + b"\r\n", 0, 1, 1, 10,
        b"9" * 5_000_000 + b"," + b"9" * 5_000_000 + b"R\r\n"),
    # --- failure reports ----------------------------------------------------------------------
    run("bad_column_with_overwrite_is_reported", b"a,b\r\n", 0, b"x", 0, 0, b"",
        stderr=not_integer(b"x"), status=1),
    run("bad_column_report_keeps_header", b"h,i\r\na,b\r\n", 1, b"x", 0, 0, b"h,i\r\n",
        stderr=not_integer(b"x"), status=1),
    run("bad_write_mode_is_reported", b"h,i\r\na,b\r\n", 1, 1, b"1x", 6, b"h,i\r\n",
        stderr=not_integer(b"1x"), status=1),
    run("long_report_is_cut_at_1024_bytes", b"a\r\n", 0, 1, LONG_W, 6, b"",
        stderr=cut_report("EConvertError", b"'" + LONG_W + sjis("' は整数ではありません")),
        status=1),
    Case("full_disk_is_reported", [b"{in}", b"/dev/full", b"0", b"1", b"1", b"0"],
        input=b"123456\r\n", stderr=io_report("I/O エラー (112)"), status=1,
        skip=no_dev_full, platforms=["posix"]),
    # --- start-up refusals and open failures --------------------------------------------------
    Case("usage_no_arguments", [], stdout=USAGE, status=1),
    Case("usage_five_arguments", [b"{in}", b"{out}", b"1", b"1", b"1"], stdout=USAGE, status=1),
    Case("usage_seven_arguments", [b"{in}", b"{out}", b"1", b"1", b"1", b"6", b"x"],
         stdout=USAGE, status=1),
    Case("missing_input", [b"{dir}{sep}nothing.csv", b"{out}", b"1", b"1", b"1", b"6"],
         input=None, stderr=sjis("入力ファイルが見つかりません: ") + b"{dir}{sep}nothing.csv\r\n",
         status=1),
    Case("input_is_a_directory", [b"{dir}", b"{out}", b"1", b"1", b"1", b"6"],
         stderr=sjis("入力ファイルが見つかりません: ") + b"{dir}\r\n", status=1),
    Case("output_without_directory", [b"{in}", b"out.csv", b"1", b"1", b"1", b"6"],
         input=b"a\r\n", stderr=sjis("出力先フォルダが見つかりません: ") + b"out.csv\r\n", status=1),
    Case("output_directory_missing", [b"{in}", b"{dir}{sep}no{sep}out.csv", b"1", b"1", b"1", b"6"],
         input=b"a\r\n",
         stderr=sjis("出力先フォルダが見つかりません: ") + b"{dir}{sep}no{sep}out.csv\r\n", status=1),
    Case("output_is_input", [b"{in}", b"{in}", b"1", b"1", b"1", b"6"], input=b"h\r\n1\r\n",
         stdout=SHARING, status=1, stdin=b"\n", check_output=False),
    Case("output_is_a_directory", [b"{in}", b"{dir}", b"1", b"1", b"1", b"6"], input=b"h\r\n",
         stdout=ACCESS_DENIED, status=1, check_output=False),
    run("output_read_only_left_unchanged", b"h\r\n1\r\n", 1, 1, 1, 6, None,
        existing_output=b"keep me\r\n", setup=read_only, stdout=ACCESS_DENIED, status=1),
    run("output_hard_link_to_input", b"h\r\n1\r\n", 1, 1, 1, 6, None, setup=hard_link_output,
        stdout=SHARING, status=1, check_output=False, platforms=["posix"]),
    run("open_failure_pause_ends_at_end_of_input", b"h\r\n", 1, 1, 1, 6, None,
        existing_output=b"x", setup=read_only, stdout=ACCESS_DENIED, status=1, stdin=b""),
]


# --- faults of the file system, runs at the same time, awkward paths (POSIX) -------------------
# Each proves that the input is unchanged (the runner checks every case for that) and that the
# output holds only whole lines: exactly the expected ones, the first of them, or none at all.

import fcntl  # noqa: E402
import resource  # noqa: E402
import subprocess  # noqa: E402
import tempfile  # noqa: E402
import time  # noqa: E402


def first_lines_of(expected):
    """The output is the first whole lines of `expected`, at least one of them."""

    def check(actual):
        if actual is None:
            return "no output file"
        if not actual:
            return "empty: nothing reached the file before the failure"
        if not actual.endswith(CRLF):
            return f"ends inside a line: ...{actual[-40:]!r}"
        if not expected.startswith(actual):
            return "not the first lines of the expected output"
        return None

    return check


def mount_small_tmpfs(point):
    return subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", point],
                          capture_output=True)


def cannot_mount_tmpfs(_build):
    if shutil.which("mount") is None or os.geteuid() != 0:
        return "mounting a small tmpfs needs root and mount(8)"
    probe = tempfile.mkdtemp(prefix="talvo-tmpfs-probe-")
    try:
        done = mount_small_tmpfs(probe)
        if done.returncode != 0:
            reason = done.stderr.decode(errors="replace").strip()
            return "this machine refuses to mount a tmpfs: " + reason
        subprocess.run(["umount", probe], check=True)
        return None
    finally:
        os.rmdir(probe)


def small_tmpfs(ctx):
    """A 64 KiB file system at the output's folder; the output below outgrows it."""
    point = os.path.dirname(ctx.out_path)
    os.makedirs(point)
    done = mount_small_tmpfs(point)
    if done.returncode != 0:
        raise RuntimeError("mount failed: " + done.stderr.decode(errors="replace"))
    return lambda: subprocess.run(["umount", point], check=True)


def open_files_limit(n):
    return lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (n, n))


def held_by_another_run(which, lock):
    """Another run holding the input or output file ("in", "out", or a path of its own) as talvo
    holds its files: a shared lock on what it reads, an exclusive one on what it writes."""

    def setup(ctx):
        f = open({"in": ctx.in_path, "out": ctx.out_path}.get(which, which), "rb")
        fcntl.flock(f, lock | fcntl.LOCK_NB)
        return f.close

    return setup


def input_through_a_pipe(ctx):
    """The input is a named pipe that a writer fills once: read again from its start, it would
    have nothing more to give."""
    with open(ctx.in_path, "rb") as f:
        data = f.read()
    os.remove(ctx.in_path)
    os.mkfifo(ctx.in_path)

    def feed():
        with open(ctx.in_path, "wb") as pipe:
            pipe.write(data)

    writer = threading.Thread(target=feed, daemon=True)
    writer.start()
    return lambda: writer.join(timeout=10)


def input_through_a_pipe_in_two_writes(ctx):
    """As input_through_a_pipe, but the first line comes in two writes with a pause between
    them, so that the program's first read ends inside it."""
    with open(ctx.in_path, "rb") as f:
        data = f.read()
    os.remove(ctx.in_path)
    os.mkfifo(ctx.in_path)

    def feed():
        with open(ctx.in_path, "wb", buffering=0) as pipe:
            pipe.write(data[:2])
            time.sleep(0.3)
            pipe.write(data[2:])

    writer = threading.Thread(target=feed, daemon=True)
    writer.start()
    return lambda: writer.join(timeout=10)


# 160 KB of output for a 64 KiB file system; the check digits are the 7DR remainders.
FILLING_VALUES = [b"%07d" % k for k in range(1, 8001)]
FILLING_INPUT = b"".join(v + b",x\r\n" for v in FILLING_VALUES)
FILLING_OUTPUT = b"".join(v + b",x," + v + b"%d" % (int(v) % 7) + CRLF for v in FILLING_VALUES)
MANY_FILLING_VALUES = [b"%07d" % k for k in range(1, 40001)]
MANY_FILLING_INPUT = b"".join(v + b",x\r\n" for v in MANY_FILLING_VALUES)
MANY_FILLING_OUTPUT = b"".join(v + b",x," + v + b"%d" % (int(v) % 7) + CRLF
                               for v in MANY_FILLING_VALUES)
HEADER_APPENDED = b"code,name,OutPut\r\n123456,x,1234564\r\n1234,y,12342\r\n"
TABLE = sjis("表")  # 0x95 0x5C: its second byte is a backslash
TOO_MANY_FILES = sjis("オープンしたファイルが多すぎます") + CRLF + CANNOT_OPEN

CASES += [
    run("disk_fills_halfway_keeps_whole_lines", FILLING_INPUT, 0, 1, 1, 0, None,
        output_name="small/out.csv", setup=small_tmpfs, skip=cannot_mount_tmpfs,
        stderr=io_report("I/O エラー (112)"), status=1, check_output=False,
        output_check=first_lines_of(FILLING_OUTPUT), platforms=["posix"]),
    # Standard input, output and error and the input file take all four descriptors. A sanitizer
    # build's leak check at exit would need a fifth.
    run("too_many_open_files", b"h\r\n1\r\n", 1, 1, 1, 6, None, preexec=open_files_limit(4),
        environment={"ASAN_OPTIONS": "detect_leaks=0"}, stdout=TOO_MANY_FILES, status=1,
        stdin=b"\n", platforms=["posix"]),
    run("second_run_writing_the_same_output", b"h\r\n1\r\n", 1, 1, 1, 6, None,
        existing_output=b"the first run's line\r\n",
        setup=held_by_another_run("out", fcntl.LOCK_EX),
        stdout=SHARING, status=1, stdin=b"\n", platforms=["posix"]),
    run("writing_what_another_run_reads", b"h\r\n1\r\n", 1, 1, 1, 6, None,
        existing_output=b"read by another run\r\n",
        setup=held_by_another_run("out", fcntl.LOCK_SH),
        stdout=SHARING, status=1, stdin=b"\n", platforms=["posix"]),
    run("reading_what_another_run_writes", b"h\r\n1\r\n", 1, 1, 1, 6, None,
        setup=held_by_another_run("in", fcntl.LOCK_EX), stdout=SHARING, status=1, stdin=b"\n",
        platforms=["posix"]),
    run("pipe_input_without_header_keeps_its_first_line", b"123456\r\n1234\r\n", 0, 1, 1, 0,
        b"123456,1234564\r\n1234,12342\r\n", setup=input_through_a_pipe, platforms=["posix"]),
    run("pipe_first_line_in_two_reads", b"123,a\n456,b\n", 0, 1, 1, 6,
        b"123,a,1236\r\n456,b,4565\r\n", setup=input_through_a_pipe_in_two_writes,
        platforms=["posix"]),
    run("paths_with_blanks", HEADER_INPUT, 1, 1, 1, 0, HEADER_APPENDED,
        input_name="a folder/in put.csv", output_name="a folder/out put.csv", platforms=["posix"]),
    run("double_byte_folder_and_file_names", HEADER_INPUT, 1, 1, 1, 0, HEADER_APPENDED,
        input_name=os.fsdecode(TABLE + b"/in.csv"),
        output_name=os.fsdecode(TABLE + b"/" + sjis("表示.csv")),
        platforms=["posix"]),
    # A '/' after a byte that leads in code page 932 still separates folders: the output's
    # folder here is "x" 0x95, which does not exist.
    Case("output_folder_ending_in_a_lead_byte", [b"{in}", b"{dir}/x\x95/out.csv", b"1", b"1", b"1", b"6"],
         input=b"a\r\n", stderr=sjis("出力先フォルダが見つかりません: ") + b"{dir}/x\x95/out.csv\r\n",
         status=1, platforms=["posix"]),
    run("output_in_a_folder_ending_in_a_lead_byte", HEADER_INPUT, 1, 1, 1, 0, HEADER_APPENDED,
        input_name=os.fsdecode(b"x\x95/in.csv"), output_name=os.fsdecode(b"x\x95/out.csv"),
        platforms=["posix"]),
    run("names_of_255_bytes", HEADER_INPUT, 1, 1, 1, 0, HEADER_APPENDED,
        input_name="i" * 251 + ".csv", output_name=os.fsdecode(TABLE * 125 + b"x.csv"),
        platforms=["posix"]),
    run("output_name_of_256_bytes", HEADER_INPUT, 1, 1, 1, 0, None,
        output_name=os.fsdecode(TABLE * 125 + b"xy.csv"),
        stdout=sjis("I/O エラー (206)") + CRLF + CANNOT_OPEN, status=1, stdin=b"\n",
        platforms=["posix"]),
    # The system takes a '/' after a byte that would lead a double-byte character as a '/': the
    # report names the program's file, not its folder too.
    run("program_name_after_a_folder_ending_in_a_lead_byte", b"a\r\n", 0, 1, b"x", 6, b"",
        program_folder=b"bin\x95", stderr=not_integer(b"x"), status=1, platforms=["posix"]),
]


# --- faults of the process: memory, limits, standard streams, devices, interruption (POSIX) ----
# Each ends as a run that meets any other failure does (the report, status 1, whole lines in the
# output) or as the interruption ends it, never in a crash or a half-written line.

import signal  # noqa: E402


def address_space_limit(size):
    return lambda: resource.setrlimit(resource.RLIMIT_AS, (size, size))


def file_size_limit(size):
    return lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (size, size))


def closed_descriptors(*fds):
    def preexec():
        for fd in fds:
            os.close(fd)

    return preexec


def default_action(sig):
    """The signal's default action in the program, whatever the test run was started with (a
    background job ignores SIGINT)."""
    return lambda: signal.signal(sig, signal.SIG_DFL)


def sanitizer_reserves_memory(build):
    return "a sanitizer reserves more address space than the limit" if build.sanitized else None


def input_through_a_stalled_pipe(ctx):
    """The input is a named pipe that a writer fills with the case's input and then holds open
    without writing more, until the run has been checked: the program waits for the rest."""
    with open(ctx.in_path, "rb") as f:
        data = f.read()
    os.remove(ctx.in_path)
    os.mkfifo(ctx.in_path)
    checked = threading.Event()

    def feed():
        try:
            with open(ctx.in_path, "wb") as pipe:
                pipe.write(data)
                pipe.flush()
                checked.wait(120)
        except BrokenPipeError:
            pass

    writer = threading.Thread(target=feed, daemon=True)
    writer.start()

    def cleanup():
        checked.set()
        try:  # a program that never opened the pipe leaves the writer waiting to open it
            os.close(os.open(ctx.in_path, os.O_RDONLY | os.O_NONBLOCK))
        except OSError:
            pass
        writer.join(timeout=10)

    return cleanup


def output_reaches(size):
    return lambda ctx: os.path.exists(ctx.out_path) and os.path.getsize(ctx.out_path) >= size


# A lone CR is dropped, so CR-ended lines make one line, held whole in memory: more than an
# address space of 32 MiB holds.
CR_ONLY_INPUT = b"h,x\r\n" + b"1,2\r\n" * 1000 + b"123456,abc\r" * 2_000_000
CR_ONLY_WHOLE_LINES = b"h,x,OutPut\r\n" + b"1,2,17\r\n" * 1000
# A line longer than the writer's block goes to the file as it is put together, and its end
# waits in the writer for the next block. The input stalls inside the line after it, so the
# file ends inside a line until the interruption cuts it back.
LONG_LINE = b"5," + b"9" * (3 << 20)
STALLED_INPUT = b"h,x\r\n" + b"1,2\r\n" * 3 + LONG_LINE + b"\r\n" + b"7," + b"8" * 1000
STALLED_WHOLE_LINES = b"h,x,OutPut\r\n" + b"1,2,17\r\n" * 3
LONG_LINE_STARTED = output_reaches(len(STALLED_WHOLE_LINES) + len(LONG_LINE))

CASES += [
    run("out_of_memory_is_reported_after_the_whole_lines", CR_ONLY_INPUT, 1, 1, 1, 6,
        CR_ONLY_WHOLE_LINES, preexec=address_space_limit(32 << 20),
        skip=sanitizer_reserves_memory,
        stderr=report("EOutOfMemory", sjis("メモリが不足しています")), status=1,
        platforms=["posix"]),
    # The limit falls inside a line (the lines are 20 bytes long).
    run("file_size_limit_is_a_write_failure", FILLING_INPUT, 0, 1, 1, 0, None,
        preexec=file_size_limit(50_007), stderr=io_report("I/O エラー (223)"), status=1,
        check_output=False, output_check=first_lines_of(FILLING_OUTPUT), platforms=["posix"]),
    # Enough lines to be shared out between threads: the limit falls inside one write of many
    # pieces at once.
    run("file_size_limit_inside_a_write_of_many_pieces", MANY_FILLING_INPUT, 0, 1, 1, 0, None,
        preexec=file_size_limit(600_007), stderr=io_report("I/O エラー (223)"), status=1,
        check_output=False, output_check=first_lines_of(MANY_FILLING_OUTPUT),
        platforms=["posix"]),
    # Started with standard streams closed, the files would take their descriptors, and the
    # report meant for standard error would go into the output.
    *[
        run(f"closed_standard_streams_{'_'.join(map(str, fds))}_report_stays_out_of_the_output",
            b"h,i\r\na,b\r\n", 1, b"x", 0, 0, b"h,i\r\n", preexec=closed_descriptors(*fds),
            status=1, platforms=["posix"])
        for fds in ((1, 2), (0, 2))
    ],
    # Devices are shared: never locked, never the same file as another.
    Case("device_as_both_input_and_output", [b"/dev/null", b"/dev/null", b"1", b"1", b"1", b"6"],
         input=None, platforms=["posix"]),
    Case("two_runs_writing_one_device", [b"{in}", b"/dev/null", b"1", b"1", b"1", b"6"],
         input=b"h\r\n1\r\n", setup=held_by_another_run("/dev/null", fcntl.LOCK_EX),
         platforms=["posix"]),
    *[
        run(f"interrupted_by_{sig.name.lower()}_keeps_whole_lines", STALLED_INPUT, 1, 1, 1, 6,
            STALLED_WHOLE_LINES, setup=input_through_a_stalled_pipe,
            interrupt=Interrupt(sig, LONG_LINE_STARTED), preexec=default_action(sig),
            status=-sig, platforms=["posix"])
        for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP)
    ],
]


# --- the Windows build: its own command line, its own file system -----------------------------
def report_cut_inside(character, module, encode=sjis):
    """A w that puts the 1024th byte of the report, with program name `module` and its own words
    encoded by `encode`, on the first byte of `character` in the message."""
    head = report("EConvertError", b"'", encode)[: -len(b".\r\n\r\n")]
    head = head.replace(b"{module}", module).replace(b"{address}", b"00000000")
    before = len(head) + len(b"' ")
    assert encode("' は整数ではありません")[2:].startswith(character)
    return b"x" * (1024 - 1 - before)


def immutable(ctx):
    """An output that the system itself refuses to write, to root too; its mode still allows
    writing, so only the system's refusal can stop the run."""
    subprocess.run(["chattr", "+i", ctx.out_path], check=True, capture_output=True)
    return lambda: subprocess.run(["chattr", "-i", ctx.out_path], check=True)


def cannot_make_immutable(_build):
    if shutil.which("chattr") is None:
        return "no chattr(1)"
    probe = tempfile.NamedTemporaryFile(prefix="talvo-chattr-probe-", dir=tempfile.gettempdir())
    with probe:
        done = subprocess.run(["chattr", "+i", probe.name], capture_output=True)
        if done.returncode != 0:
            return "this file system or user cannot make a file immutable"
        subprocess.run(["chattr", "-i", probe.name], check=True)
    return None


M43_INPUT = b"code\r\nCODE 39\r\n"
M43_OUTPUT = b"code,OutPut\r\nCODE 39,CODE 39R\r\n"
CUT_IN_HA = sjis("は")

CASES += [
    run("output_refused_by_the_system", b"h\r\n1\r\n", 1, 1, 1, 6, None,
        existing_output=b"keep me\r\n", setup=immutable, skip=cannot_make_immutable,
        stdout=ACCESS_DENIED, status=1, stdin=b"\n"),
    # The console's code page may differ from the file's, but where both are 932 the report
    # keeps every byte: a lead byte cut from its second byte must not take the CR LF with it.
    run("report_cut_inside_a_double_byte_character", b"a\r\n", 0, 1,
        report_cut_inside(CUT_IN_HA, b"talvo"), 6, b"",
        stderr=cut_report("EConvertError", b"'" + report_cut_inside(CUT_IN_HA, b"talvo")
                          + sjis("' は整数ではありません")),
        status=1, platforms=["posix"]),
    # Windows hands over one command line, which the program splits itself. The first item is
    # skipped whatever it is; the report still names the program's own file.
    Case("report_cut_inside_a_double_byte_character_windows", [],
         command_line=b'"C:\\some where\\renamed.exe" {in} {out} 0 1 '
         + report_cut_inside(CUT_IN_HA, b"talvo.exe") + b" 6",
         input=b"a\r\n", output=b"",
         stderr=cut_report("EConvertError", b"'" + report_cut_inside(CUT_IN_HA, b"talvo.exe")
                           + sjis("' は整数ではありません")),
         status=1, platforms=["windows"]),
    Case("command_line_quotes_and_empty_pairs", [],
         command_line=b'"Z:\\no such folder\\talvo.exe" "{in}" "" {out} ""1 "" 1 1 "1"0 ""',
         input=M43_INPUT, output=M43_OUTPUT, platforms=["windows"]),
    Case("command_line_empty_pair_is_no_sixth_argument", [],
         command_line=b'talvo.exe {in} {out} 1 1 1 ""', stdout=USAGE, status=1,
         platforms=["windows"]),
    Case("command_line_control_bytes_separate", [],
         command_line=b"\ttalvo.exe\t{in}\x01\x02{out}\x1f1 \t\x0b1\r\n1\x0c\x1010\x20\x01",
         input=M43_INPUT, output=M43_OUTPUT, platforms=["windows"]),
    Case("command_line_backslash_before_quote_is_a_backslash", [],
         command_line=b'talvo.exe "{dir}\\"in.csv "{out}" 1 1 1 10',
         input=M43_INPUT, output=M43_OUTPUT, platforms=["windows"]),
    # The last character of "データ表" is 0x95 0x5C, whose second byte is no folder separator.
    Case("output_named_with_a_backslash_second_byte", [],
         command_line=b"talvo.exe {in} {dir}\\" + sjis("データ表") + b" 1 1 1 10",
         input=M43_INPUT, output=M43_OUTPUT, output_name="データ表", platforms=["windows"]),
    Case("output_is_input_by_another_spelling",
         [b"{in}", b"{dir}{sep}.{sep}IN.CSV", b"1", b"1", b"1", b"6"], input=b"h\r\n1\r\n",
         stdout=SHARING, status=1, stdin=b"\n", check_output=False, platforms=["windows"]),
    Case("full_disk_is_reported_windows", [b"{in}", b"Z:\\dev\\full", b"0", b"1", b"1", b"0"],
         input=b"123456\r\n", stderr=io_report("I/O エラー (112)"), status=1,
         skip=no_dev_full, platforms=["windows"]),
]


# --- console texts under the user's locale (POSIX) ----------------------------------------------
# The program's own texts come out in the locale's character set; what the user gave (a path, an
# argument, the program's name) comes out as it was given, whatever its bytes. The output file
# is never converted. Every other case runs under LC_ALL=C, where the bytes are code page 932.
UTF8_LOCALE = {"LC_ALL": "C.UTF-8"}
HYOUJI = sjis("表示")  # 0x95 0x5C 0x8E 0xA6: no UTF-8 text
CUT_IN_HA_UTF8 = utf8("は")
NOT_UTF8_W = b"\x95" * 2000


def utf8_case(case):
    case.environment = {**(case.environment or {}), **UTF8_LOCALE}
    case.platforms = ["posix"]
    return case


CASES += [
    utf8_case(Case("utf8_locale_usage", [],
                   stdout=USAGE.decode("cp932").encode("utf-8"), status=1)),
    utf8_case(Case("utf8_locale_refusal_keeps_the_path_as_given",
                   [b"{dir}{sep}" + HYOUJI + b".csv", b"{out}", b"1", b"1", b"1", b"6"],
                   input=None,
                   stderr=utf8("入力ファイルが見つかりません: ") + b"{dir}{sep}" + HYOUJI + b".csv\r\n",
                   status=1)),
    utf8_case(Case("utf8_locale_open_failure", [b"{in}", b"{dir}", b"1", b"1", b"1", b"6"],
                   input=b"h\r\n", check_output=False, status=1,
                   stdout=utf8("ファイルへのアクセスが拒否されました\r\nファイルを開けません\r\n"))),
    utf8_case(run("utf8_locale_report_keeps_the_argument_as_given", b"h,i\r\n" + HYOUJI + b"\r\n",
                  1, 1, HYOUJI + b"x", 6, b"h,i\r\n",
                  stderr=not_integer(HYOUJI + b"x", utf8), status=1)),
    # The output keeps its code-page-932 bytes, the header's ",OutPut" and the marker.
    utf8_case(run("utf8_locale_leaves_the_output_file_as_it_is", b"h\r\n" + HYOUJI + b",5\r\n",
                  1, 2, 1, b"x", b"h,OutPut\r\n" + HYOUJI + b"," + MARKER + b",\r\n")),
    # は is three bytes in UTF-8: the 1024th byte of the report is its first, and all of it goes.
    utf8_case(run("utf8_locale_long_report_cut_at_a_whole_character", b"a\r\n", 0, 1,
                  report_cut_inside(CUT_IN_HA_UTF8, b"talvo", utf8), 6, b"",
                  stderr=cut_report("EConvertError",
                                    b"'" + report_cut_inside(CUT_IN_HA_UTF8, b"talvo", utf8)
                                    + utf8("' は整数ではありません"), utf8, utf8_characters),
                  status=1)),
    # Bytes that are no UTF-8 characters are cut one by one, at the 1024th.
    utf8_case(run("utf8_locale_long_report_of_other_bytes_cut_at_1024", b"a\r\n", 0, 1,
                  NOT_UTF8_W, 6, b"",
                  stderr=cut_report("EConvertError",
                                    b"'" + NOT_UTF8_W + utf8("' は整数ではありません"), utf8,
                                    utf8_characters),
                  status=1)),
]
