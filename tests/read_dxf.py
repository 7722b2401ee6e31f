#!/usr/bin/python3
# Reads a DXF file with ezdxf, an independent reader, audits it, and prints
# one line per polyline: its layer, its length (mm) and, when closed, its area
# (m2); then one line per text.  Exit status 1 when the audit finds errors.
import sys
import ezdxf

doc = ezdxf.readfile(sys.argv[1])
auditor = doc.audit()
if auditor.has_errors:
    for e in auditor.errors:
        print("AUDIT", e.message)
    sys.exit(1)
print("VERSION", doc.dxfversion, "INSUNITS", doc.header.get("$INSUNITS", 0))
for e in doc.modelspace():
    if e.dxftype() == "LWPOLYLINE":
        pts = [(p[0], p[1]) for p in e.get_points("xy")]
        closed = e.closed
        segs = list(zip(pts, pts[1:] + (pts[:1] if closed else [])))
        length = sum(((b[0] - a[0]) ** 2 + (b[1] - a[1]) ** 2) ** 0.5 for a, b in segs)
        area = abs(sum(a[0] * b[1] - b[0] * a[1] for a, b in zip(pts, pts[1:] + pts[:1]))) / 2e6 if closed else 0
        print("POLY", e.dxf.layer, "%.6f" % length, "%.9f" % area, int(closed))
    elif e.dxftype() == "TEXT":
        print("TEXT", e.dxf.layer, e.dxf.text)
