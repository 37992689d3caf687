#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora out of the end-to-end case table and its fixtures.

  make_seeds.py OUT_DIR    # OUT_DIR/<target>/<sha1 of the seed>

Every case that runs the program lends its input file and its four settings to the row
fuzzer, its lines to the field fuzzer, its fields to the check fuzzer and its settings to the
integer-text fuzzer. The row and field fuzzers read their extra texts off the end of an input,
each followed by its length byte (tests/fuzz/fuzz_check.h, TailReader); the row fuzzer's last
four bytes are a fault position (high, low), a fault kind and a block size.
"""
import hashlib
import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
import cases as case_table  # noqa: E402

LONGEST_FILE = 8000  # the row fuzzer's inputs stay small enough to run thousands a second


def piece(text):
    text = text[:255]  # one length byte
    return text + bytes([len(text)])


def main():
    out = sys.argv[1]
    seeds = {name: set() for name in ("rows", "fields", "checks", "integer_text")}

    runs = []
    for case in case_table.CASES:
        if len(case.args) == 6 and case.input is not None and len(case.input) <= LONGEST_FILE:
            runs.append((case.input, case.args[2:]))
    for name in sorted(os.listdir(case_table.FIXTURES)):
        runs.append((case_table.fixture(name)[:LONGEST_FILE], [b"1", b"1", b"1", b"6"]))

    for k, (data, settings) in enumerate(runs):
        # Every third seed fills the output, every third fails a read, somewhere in the file.
        fault_at = (k * 37) % 256
        trailer = b"".join(piece(s) for s in settings) + bytes([0, fault_at, k % 3, k % 16])
        seeds["rows"].add(data + trailer)
        for s in settings:
            seeds["integer_text"].add(s[:64])
        for line in data.split(b"\n"):
            line = line.rstrip(b"\r")
            seeds["fields"].add(line + piece(b"X"))
            for value in line.split(b","):
                seeds["checks"].add(value[:128])

    # Values at the edges of the number readings and of the remainder methods' two parts.
    seeds["integer_text"].update([
        b"2147483647", b"-2147483648", b"2147483648", b"$FFFFFFFF", b"-x80000000",
        b"0x7FFFFFFFFFFFFFFF", b"-X8000000000000000", b" +12", b"0x", b"$", b"12 ", b"1\x002",
    ])
    seeds["checks"].update([
        b"490123456789", b"80x7FFFFFFFFFFFFFFF", b"-1234567890123456789", b"1-23456789012345678",
        b"$FF", b"9" * 36, b"A1234B", b"CODE 39", b"6",
    ])
    seeds["fields"].update([
        "表示,値".encode("cp932") + piece("表".encode("cp932")), b"\x81,a\x00,b" + piece(b""),
    ])

    for name, items in seeds.items():
        folder = os.path.join(out, name)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        for item in items:
            with open(os.path.join(folder, hashlib.sha1(item).hexdigest()), "wb") as f:
                f.write(item)
        print(f"{name}: {len(items)} seeds")


if __name__ == "__main__":
    main()
