#!/usr/bin/env python3
"""Writes the seed corpora of the number and checksum fuzz targets: the worked examples, encoded as
the fields each target reads (see input.h). Run from anywhere; it rewrites fuzz/corpus/<target>/."""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))

integers = [
    (1234567, 0, None), (1234567, 1, None), (1234567, 2, None), (1234567, 3, None), (1234567, -1, None),
    (-1234567, 1, "B"), (123456789, 1, "/s"), (0, 1, "B"), (-1000, 1, None), (-1000, 2, None),
    (999, 2, "x"), (1000, 2, "B"), (999, 3, None), (1000, 3, None), (1023, 3, "B"), (1024, 3, "B"),
    (-1023, 3, None), (1536, 3, None), (999999, 2, None), (1048575, 3, None), (10**9, 2, None),
    (10**15, 2, None), (10**18, 2, None), (2**50 - 1, 3, None), (2**60, 3, None),
    (2**63 - 1, 1, None), (2**63 - 1, 2, None), (2**63 - 1, 3, None),
    (-2**63, 0, None), (-2**63, 1, None), (-2**63, 2, None), (-2**63, 3, None),
    (0, 1, ""), (-2**63, 1, "s" * 101), (-2**63, 1, "s" * 102), (7, 0, "s" * 200),
]
doubles = [
    (1234.5, 0, 2), (1234.5, 1, 2), (1234.5, 1, 1), (-1234.56, 1, 2), (1234.0, 1, 0),
    (1234567.0, 1, 3), (1234.5, 1, -1), (1000.0, 1, 2), (-1000.0, 1, 2), (999.999, 1, 2),
    (-999.5, 1, 2), (999.5, 2, 2), (1000.5, 3, 2), (1536.75, 3, 2), (1234567.891, 2, 2),
    (1999.999, 1, 2), (1234.7, 1, 0), (float("nan"), 1, 2), (float("inf"), 1, 2), (-float("inf"), 2, 2),
    (2.0**63, 1, 2), (-2.0**63, 1, 2), (1e300, 1, 20), (5e-324, 1, 20),
]
checksums = [(-1, 16, bytes(range(16))), (1, 16, bytes(range(16))), (-1, 1, b"\xab"),
             (1, 3, b"\xff\x80\x00"), (0, 16, bytes(range(16))), (1, 0, b"")]


def write(target, name, data):
    folder = os.path.join(here, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


for i, (num, level, suffix) in enumerate(integers):
    tail = b"" if suffix is None else b"\x01" + suffix.encode()
    write("format_integer", f"example-{i:02}", struct.pack("<qb", num, level) + (tail or b"\x00"))
for i, (value, level, decimals) in enumerate(doubles):
    write("format_double", f"example-{i:02}", struct.pack("<dbB", value, level, decimals + 1))
for i, (order, length, data) in enumerate(checksums):
    write("sum_as_hex", f"example-{i:02}", struct.pack("<bB", order, length + 2) + data)
