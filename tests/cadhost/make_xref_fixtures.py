"""Writes drawings with xrefs with ezdxf, for the xref engine's tests.

Usage: make_xref_fixtures.py OUTPUT_FOLDER HOST_FOLDER
HOST_FOLDER is OUTPUT_FOLDER as the host names it (for absolute stored paths).

host.dxf refers to:
  PLAN     attached, relative path sub\\plan.dwg (exists as sub/plan.dxf), which attaches
           FLOOR (floor.dxf beside it), which attaches ROOM (rooms\\room.dxf): two levels;
           PLAN also holds an overlay SITE and an attachment it never inserts (SPARE)
  TREES    overlay, bare name trees.dxf, in the drawing's folder
  ABS      attached, absolute path to abs/abs.dxf
  LIB      attached, bare name lib.dwg, found in the support folder support/ as lib.dxf
  GONE     attached, missing.dwg, which exists nowhere
  LOOSE    attached but never inserted (unreferenced)
  NOTDXF   attached, notdxf.dxf, a text file that is not a drawing
  BINARY   attached, binary.dwg, a file in the host's DWG format
  CYCLE1   attached, cycle1.dxf, which attaches CYCLE2 (cycle2.dxf), which attaches CYCLE1
"""
import sys
from pathlib import Path

import ezdxf

OVERLAY = 4 | 8 | 16


def drawing(xrefs, inserted=None, line_layer="0"):
    """A drawing with one line and the given xrefs: (name, path, flags) tuples, inserted
    in model space unless their name is left out of `inserted`."""
    doc = ezdxf.new("R2000")
    msp = doc.modelspace()
    if line_layer != "0":
        doc.layers.add(line_layer, color=2)
    msp.add_line((0, 0), (1, 1), dxfattribs={"layer": line_layer})
    for name, path, flags in xrefs:
        doc.add_xref_def(path, name, flags=flags)
        if inserted is None or name in inserted:
            msp.add_blockref(name, (1, 2))
    return doc


def main():
    out = Path(sys.argv[1])
    host = sys.argv[2].rstrip("\\")
    for folder in ("sub/rooms", "abs", "support"):
        (out / folder).mkdir(parents=True, exist_ok=True)
    attach = 4 | 16
    host = drawing(
        [
            ("PLAN", "sub\\plan.dwg", attach),
            ("TREES", "trees.dxf", OVERLAY),
            ("ABS", host + "\\abs\\abs.dxf", attach),
            ("LIB", "lib.dwg", attach),
            ("GONE", "missing.dwg", attach),
            ("LOOSE", "loose.dxf", attach),
            ("NOTDXF", "notdxf.dxf", attach),
            ("BINARY", "binary.dwg", attach),
            ("CYCLE1", "cycle1.dxf", attach),
        ],
        inserted={"PLAN", "TREES", "ABS", "LIB", "GONE", "NOTDXF", "BINARY", "CYCLE1"},
    )
    host.layers.add("PLAN|WALLS", color=1)  # a layer PLAN brought in, as the host keeps them
    host.saveas(out / "host.dxf")
    drawing(
        [("FLOOR", "floor.dxf", attach), ("SITE", "site.dxf", OVERLAY),
         ("SPARE", "spare.dxf", attach)],
        inserted={"FLOOR", "SITE"},
        line_layer="PLAN_WALLS",
    ).saveas(out / "sub" / "plan.dxf")
    drawing([("ROOM", "rooms\\room.dxf", attach)]).saveas(out / "sub" / "floor.dxf")
    for name in ("sub/rooms/room", "sub/site", "sub/spare", "trees", "abs/abs",
                 "support/lib", "loose"):
        drawing([]).saveas(out / f"{name}.dxf")
    drawing([("CYCLE2", "cycle2.dxf", attach)]).saveas(out / "cycle1.dxf")
    drawing([("CYCLE1", "cycle1.dxf", attach)]).saveas(out / "cycle2.dxf")
    (out / "notdxf.dxf").write_text("this is not a drawing\n")
    (out / "binary.dwg").write_bytes(b"AC1015" + bytes(200))


if __name__ == "__main__":
    main()
