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

bind/host.dxf inserts PARTS (parts.dxf beside it) twice; it has a layer SHARED of its own and
the layer PARTS|OWN that PARTS brought in. parts.dxf holds lines, a lightweight and a 2D
polyline, text, and a reference with an attribute to its block BOLT, on layers 0, SHARED and
OWN. bind/blocked.dxf is host.dxf that also inserts a block PARTS|STUB of its own.
bind/taken.dxf is host.dxf that already has the names a prefixed bind would give first: the
layer PARTS$0$OWN and the block PARTS$0$BOLT, and a block BOLT of its own; it also keeps a
layer PARTS|UNUSED that nothing uses. Both draw a circle of their own on PARTS|OWN.
FLOOR draws its line on its layer TILES.
layout.dxf shows its layout (TILEMODE 0), which holds one viewport; it has no xrefs.
bind/r12_host.dxf and bind/r12_parts.dxf are R12 drawings (layout blocks named "$Model_Space"),
both with a layer SHARED; the parts draw on SHARED and OWN. bind/entities_only.dxf holds one
line in an ENTITIES section and nothing else.
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


def bind_fixtures(out):
    out.mkdir(exist_ok=True)
    parts = ezdxf.new("R2000")
    parts.layers.add("SHARED", color=5)
    parts.layers.add("OWN", color=3)
    bolt = parts.blocks.new("BOLT", base_point=(1, 1))
    bolt.add_circle((0, 0), 0.5, dxfattribs={"layer": "OWN"})
    bolt.add_line((-1, 0), (1, 0))
    msp = parts.modelspace()
    msp.add_line((0, 0), (10, 0), dxfattribs={"layer": "SHARED"})
    msp.add_line((10, 0), (10, 5))
    msp.add_lwpolyline([(0, 0), (2, 0, 0.5), (2, 2)], dxfattribs={"layer": "OWN", "closed": True})
    msp.add_polyline2d([(3, 3), (4, 3), (4, 4)], dxfattribs={"layer": "OWN"})
    msp.add_text("Parts list", dxfattribs={"layer": "SHARED", "height": 0.25}).set_placement((1, 6))
    bolt_ref = msp.add_blockref("BOLT", (5, 5), dxfattribs={"layer": "OWN", "rotation": 30})
    bolt_ref.add_attrib("SIZE", "M8", (5, 4))
    parts.saveas(out / "parts.dxf")

    def host_with(blocked=False, taken=False):
        host = ezdxf.new("R2000")
        host.layers.add("SHARED", color=1)
        host.layers.add("PARTS|OWN", color=3)
        host.add_xref_def("parts.dxf", "PARTS", flags=4 | 16)
        msp = host.modelspace()
        msp.add_circle((0, 0), 3, dxfattribs={"layer": "SHARED"})
        msp.add_blockref("PARTS", (0, 0))
        msp.add_blockref("PARTS", (20, 0), dxfattribs={"xscale": 2, "yscale": 2})
        if blocked or taken:
            msp.add_circle((0, 0), 1, dxfattribs={"layer": "PARTS|OWN"})
        if blocked:
            host.blocks.new("PARTS|STUB").add_point((0, 0))
            msp.add_blockref("PARTS|STUB", (0, 0))
        if taken:
            host.layers.add("PARTS$0$OWN", color=6)
            host.layers.add("PARTS|UNUSED", color=4)
            host.blocks.new("BOLT").add_point((7, 7))
            host.blocks.new("PARTS$0$BOLT").add_point((8, 8))
        return host

    host_with().saveas(out / "host.dxf")
    host_with(blocked=True).saveas(out / "blocked.dxf")
    host_with(taken=True).saveas(out / "taken.dxf")

    # R12: a host with its own layer SHARED, and an xref drawing on SHARED and OWN.
    r12_host = ezdxf.new("R12")
    r12_host.layers.add("SHARED", color=1)
    r12_host.modelspace().add_circle((0, 0), 3, dxfattribs={"layer": "SHARED"})
    r12_host.saveas(out / "r12_host.dxf")
    r12_parts = ezdxf.new("R12")
    r12_parts.layers.add("SHARED", color=5)
    r12_parts.layers.add("OWN", color=3)
    msp = r12_parts.modelspace()
    msp.add_line((0, 0), (10, 0), dxfattribs={"layer": "SHARED"})
    msp.add_circle((2, 2), 1, dxfattribs={"layer": "OWN"})
    msp.add_polyline2d([(3, 3), (4, 3), (4, 4)], dxfattribs={"layer": "OWN"})
    r12_parts.saveas(out / "r12_parts.dxf")
    # A drawing of entities only, as simple exporters write it: no tables, no blocks.
    (out / "entities_only.dxf").write_text(
        "0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n0\n10\n0\n20\n0\n30\n0\n11\n5\n21\n5\n31\n0\n"
        "0\nENDSEC\n0\nEOF\n")


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
    drawing([("ROOM", "rooms\\room.dxf", attach)], line_layer="TILES").saveas(
        out / "sub" / "floor.dxf")
    for name in ("sub/rooms/room", "sub/site", "sub/spare", "trees", "abs/abs",
                 "support/lib", "loose"):
        drawing([]).saveas(out / f"{name}.dxf")
    drawing([("CYCLE2", "cycle2.dxf", attach)]).saveas(out / "cycle1.dxf")
    drawing([("CYCLE1", "cycle1.dxf", attach)]).saveas(out / "cycle2.dxf")
    layout = drawing([])
    layout.header["$TILEMODE"] = 0
    layout.layout("Layout1").add_viewport(
        center=(5, 5), size=(8, 8), view_center_point=(5, 5), view_height=10)
    layout.saveas(out / "layout.dxf")
    bind_fixtures(out / "bind")
    (out / "notdxf.dxf").write_text("this is not a drawing\n")
    (out / "binary.dwg").write_bytes(b"AC1015" + bytes(200))


if __name__ == "__main__":
    main()
