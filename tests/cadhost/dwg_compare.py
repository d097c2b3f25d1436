"""Compares the entities of a block of a DXF drawing (written by the host from a DWG drawing,
or bound from a DWG xref) with the model space of that DWG drawing as the DWG library reads it,
with ezdxf, and audits the DXF drawing. Prints JSON: the audit's errors, the number of entities
compared by type, and every difference.

Usage: dwg_compare.py DRAWING.dxf BLOCK DRAWING.dwg READER_DIR
"""
import json
import math
import subprocess
import sys
from pathlib import Path

import ezdxf

TOLERANCE = 1e-9


def plain(e):
    """The entity in the form dwg_library_values.mjs gives, with its type."""
    t = e.dxftype()
    d = e.dxf
    p3 = lambda v: [v[0], v[1], v[2]]
    if t == "LINE":
        return t, [p3(d.start), p3(d.end)]
    if t == "CIRCLE":
        return t, [p3(d.center), d.radius]
    if t == "ARC":
        return t, [p3(d.center), d.radius, d.start_angle, d.end_angle]
    if t == "POINT":
        return t, [p3(d.location)]
    if t == "ELLIPSE":
        return t, [p3(d.center), p3(d.major_axis), d.ratio]
    if t == "LWPOLYLINE":
        return t, [[x, y, b] for x, y, _, _, b in e.get_points("xyseb")]
    if t == "POLYLINE":
        is3d = e.is_3d_polyline
        points = [[v.dxf.location[0], v.dxf.location[1], v.dxf.location[2] if is3d else 0]
                  for v in e.vertices]
        return ("POLYLINE3D" if is3d else "POLYLINE2D"), points
    if t == "SPLINE":
        return t, [d.degree, [p3(p) for p in e.control_points], [p3(p) for p in e.fit_points]]
    if t == "TEXT":
        return t, [d.text, [d.insert[0], d.insert[1]], d.height]
    if t == "MTEXT":
        return t, [e.text, p3(d.insert), d.char_height]
    if t == "INSERT":
        if d.name.startswith("*D") or "$0$*D" in d.name:
            return "DIMENSION", None
        return t, [d.name, p3(d.insert), d.xscale, d.rotation,
                   [[a.dxf.tag, a.dxf.text] for a in e.attribs]]
    if t == "SOLID":
        return t, [[d.get(f"vtx{i}")[0], d.get(f"vtx{i}")[1]] for i in range(4)]
    if t == "3DFACE":
        return t, [p3(d.get(f"vtx{i}")) for i in range(4)]
    if t == "HATCH":
        return t, [d.pattern_name, len(e.paths)]
    if t == "ATTDEF":
        return t, [d.tag, d.prompt]
    return t, None


def differs(a, b):
    if isinstance(a, (int, float)) and isinstance(b, (int, float)):
        return not math.isclose(a, b, rel_tol=TOLERANCE, abs_tol=TOLERANCE)
    if isinstance(a, list) and isinstance(b, list):
        return len(a) != len(b) or any(differs(x, y) for x, y in zip(a, b))
    return a != b


def main():
    drawing, block, dwg, reader = sys.argv[1:5]
    doc = ezdxf.readfile(drawing)
    auditor = doc.audit()
    ours = [plain(e) for e in doc.blocks.get(block)]
    script = Path(__file__).with_name("dwg_library_values.mjs")
    theirs = json.loads(subprocess.run(["node", str(script), reader, dwg], check=True,
                                       capture_output=True, text=True).stdout)
    theirs = [(e["type"], e["values"]) for e in theirs if e["values"] is not None]
    compared, differences = {}, []
    by_type = {}
    for t, values in ours:
        by_type.setdefault(t, []).append(values)
    for t, values in theirs:
        mine = by_type.get(t, [])
        if not mine:
            differences.append(f"{t} missing: {values}")
            continue
        got = mine.pop(0)
        compared[t] = compared.get(t, 0) + 1
        if t != "DIMENSION" and differs(got, values):
            if t == "INSERT" and got and values and got[0].startswith("*"):
                got = [values[0]] + got[1:]  # anonymous blocks get new names
                if not differs(got, values):
                    continue
            differences.append(f"{t}: {got} != {values}")
    for t, rest in by_type.items():
        for values in rest:
            differences.append(f"{t} extra: {values}")
    print(json.dumps({"audit_errors": [str(x.message) for x in auditor.errors],
                      "compared": compared, "differences": differences}, sort_keys=True))


main()
