"""Writes the demo drawings that the run command opens: a site plan with xrefs of every kind.

Usage: /usr/bin/python3 examples/make_demo.py [OUTPUT_FOLDER]   (default: this folder)

site.dxf refers to:
  ROADS      attached, relative path xrefs\\roads.dxf
  BUILDING   attached, relative path xrefs\\building.dwg (found as xrefs/building.dxf), which
             attaches FURNITURE by its bare name furniture.dxf, found beside it (nested)
  TREES      overlaid, relative path xrefs\\trees.dxf
  PARKING    attached, xrefs\\parking.dxf, which is missing on purpose
  OLDPLAN    attached, xrefs\\oldplan.dxf, but no longer inserted (unreferenced)
"""
import sys
from pathlib import Path

import ezdxf

ATTACH = 4 | 16
OVERLAY = 4 | 8 | 16


def drawing(label, xrefs=(), inserted=None):
    """A drawing with a labelled outline and the given (name, path, flags) xrefs, each
    inserted in model space unless its name is left out of `inserted`."""
    doc = ezdxf.new("R2000")
    msp = doc.modelspace()
    msp.add_lwpolyline([(0, 0), (10, 0), (10, 10), (0, 10)], close=True)
    msp.add_text(label, dxfattribs={"height": 1}).set_placement((1, 1))
    for name, path, flags in xrefs:
        doc.add_xref_def(path, name, flags=flags)
        if inserted is None or name in inserted:
            msp.add_blockref(name, (0, 0))
    return doc


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent
    (out / "xrefs").mkdir(parents=True, exist_ok=True)
    drawing(
        "Site",
        [
            ("ROADS", "xrefs\\roads.dxf", ATTACH),
            ("BUILDING", "xrefs\\building.dwg", ATTACH),
            ("TREES", "xrefs\\trees.dxf", OVERLAY),
            ("PARKING", "xrefs\\parking.dxf", ATTACH),
            ("OLDPLAN", "xrefs\\oldplan.dxf", ATTACH),
        ],
        inserted={"ROADS", "BUILDING", "TREES", "PARKING"},
    ).saveas(out / "site.dxf")
    drawing("Building", [("FURNITURE", "furniture.dxf", ATTACH)]).saveas(
        out / "xrefs" / "building.dxf")
    for name in ("roads", "trees", "furniture", "oldplan"):
        drawing(name.capitalize()).saveas(out / "xrefs" / f"{name}.dxf")


if __name__ == "__main__":
    main()
