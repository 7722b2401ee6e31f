#!/usr/bin/env python3
"""Reads a workbook back with openpyxl, a reader of its own, and prints every
cell as one tab-separated line:

    sheet  cell  kind  value  cached  evaluated

kind is n (number), s (text) or f (formula); value is the number, the text or
the formula's text; cached is the value stored beside a formula; evaluated is
the formula worked out here over the workbook's own cells.  openpyxl does not
evaluate formulas, so the few forms a workbook of ours may hold are worked out
here: a product or quotient of cells and numbers, SUM over a range and SUMIFS
with one criterion equal to a cell.  Any other formula is a failure."""
import re
import sys

import openpyxl
from openpyxl.utils.cell import range_boundaries

path = sys.argv[1]
formulas = openpyxl.load_workbook(path, data_only=False)
cached = openpyxl.load_workbook(path, data_only=True)


def sheet_and_range(ref, default):
    m = re.fullmatch(r"(?:'((?:[^']|'')*)'!)?(\$?[A-Z]+\$?\d+(?::\$?[A-Z]+\$?\d+)?)", ref)
    if not m:
        raise SystemExit("not a reference: " + ref)
    sheet = m.group(1).replace("''", "'") if m.group(1) is not None else default
    return sheet, m.group(2).replace("$", "")


def cells(ref, default):
    sheet, rng = sheet_and_range(ref, default)
    ws = formulas[sheet]
    if ":" not in rng:
        rng = rng + ":" + rng
    min_col, min_row, max_col, max_row = range_boundaries(rng)
    out = []
    for row in range(min_row, max_row + 1):
        for col in range(min_col, max_col + 1):
            out.append(value(sheet, ws.cell(row=row, column=col).coordinate))
    return out


def value(sheet, coord):
    cell = formulas[sheet][coord]
    if cell.data_type == "f":
        return evaluate(sheet, cell.value)
    return cell.value


def number(v):
    return 0.0 if v is None else float(v)


def evaluate(sheet, formula):
    body = formula[1:]
    m = re.fullmatch(r"SUMIFS\(([^,]+),([^,]+),([^,()]+)\)", body)
    if m:
        total, crit, key = cells(m.group(1), sheet), cells(m.group(2), sheet), cells(m.group(3), sheet)[0]
        return sum(number(t) for t, c in zip(total, crit) if c is not None and c == key)
    m = re.fullmatch(r"SUM\(([^()]+)\)", body)
    if m:
        return sum(number(v) for v in cells(m.group(1), sheet))
    factors = re.split(r"([*/])", body)
    result = None
    op = "*"
    for part in factors:
        if part in "*/":
            op = part
            continue
        x = float(part) if re.fullmatch(r"[0-9.]+", part) else number(cells(part, sheet)[0])
        result = x if result is None else (result * x if op == "*" else result / x)
    if result is None:
        raise SystemExit("a formula this reader does not know: " + formula)
    return result


for ws in formulas.worksheets:
    for row in ws.iter_rows():
        for c in row:
            if c.value is None:
                continue
            v = c.value
            # A text that begins with "=" is text: only the cell's type makes a formula.
            if c.data_type == "f":
                stored = cached[ws.title][c.coordinate].value
                try:
                    evaluated = evaluate(ws.title, v)
                except (ValueError, TypeError) as e:
                    raise SystemExit("%s!%s %s: %s" % (ws.title, c.coordinate, v, e))
                print("\t".join([ws.title, c.coordinate, "f", v, repr(stored), repr(evaluated)]))
            elif c.data_type == "n":
                print("\t".join([ws.title, c.coordinate, "n", repr(float(v)), "", ""]))
            else:
                print("\t".join([ws.title, c.coordinate, "s", str(v).replace("\t", " ").replace("\n", " "), "", ""]))
