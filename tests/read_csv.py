#!/usr/bin/env python3
"""Reads a CSV file with Python's own csv module, independently of the program,
and prints its records for a test to compare: fields separated by 0x1F,
records ended by 0x1E, in UTF-8.

usage: read_csv.py FILE ENCODING [--space]
  --space: fields are separated by a comma and a space (as the outline file
  has them), read with skipinitialspace.
"""
import csv
import sys


def main():
    path, encoding = sys.argv[1], sys.argv[2]
    space = "--space" in sys.argv[3:]
    with open(path, newline="", encoding=encoding) as f:
        rows = list(csv.reader(f, skipinitialspace=space, strict=True))
    out = "".join("\x1f".join(row) + "\x1e" for row in rows)
    sys.stdout.buffer.write(out.encode("utf-8"))


if __name__ == "__main__":
    main()
