"""Writes the demo drawings that the run command opens: the site plan of a small office on an
80 x 50 m plot, with xrefs of every kind. Units are metres; each drawing keeps its own layers.

Usage: /usr/bin/python3 examples/make_demo.py [OUTPUT_FOLDER]   (default: this folder)

site.dxf draws the plot boundary and its title, and refers to:
  ROADS      attached, relative path xrefs\\roads.dxf: the main road along the south side and
             the access road to the car park, drawn where they lie on the site
  BUILDING   attached, relative path xrefs\\building.dwg (found as xrefs/building.dxf): the
             office's walls and rooms, drawn about its own origin and inserted at (42, 16); it
             attaches FURNITURE by its bare name furniture.dxf, found beside it (nested): desks
             and a meeting table in the building's own coordinates
  TREES      overlaid, relative path xrefs\\trees.dxf: trees along the north and east sides
  PARKING    attached, xrefs\\parking.dxf, which is missing on purpose: the car park drawing
             was moved to xrefs\\archive\\parking.dxf, where a new path can point
  OLDPLAN    attached, xrefs\\oldplan.dxf (an earlier, L-shaped scheme of the building), but no
             longer inserted (unreferenced)
"""
import sys
from pathlib import Path

import ezdxf

ATTACH = 4 | 16
OVERLAY = 4 | 8 | 16

GREEN, GREY, RED, CYAN, WHITE = 3, 8, 1, 4, 7


def new_drawing(layers):
    """A drawing with the given {name: colour} layers."""
    doc = ezdxf.new("R2000")
    for name, colour in layers.items():
        doc.layers.add(name, color=colour)
    return doc


def rectangle(msp, x0, y0, x1, y1, layer):
    msp.add_lwpolyline([(x0, y0), (x1, y0), (x1, y1), (x0, y1)], close=True,
                       dxfattribs={"layer": layer})


def text(msp, words, at, height, layer, rotation=0):
    msp.add_text(words, dxfattribs={"height": height, "layer": layer,
                                    "rotation": rotation}).set_placement(at)


def site(xrefs, inserted):
    doc = new_drawing({"BOUNDARY": RED, "TITLE": WHITE})
    msp = doc.modelspace()
    rectangle(msp, 0, 0, 80, 50, "BOUNDARY")
    text(msp, "SITE PLAN - OFFICE, 12 MILL LANE", (0, -18), 2, "TITLE")
    text(msp, "1 unit = 1 m", (0, -21), 1, "TITLE")
    for name, path, flags, at in xrefs:
        doc.add_xref_def(path, name, flags=flags)
        if name in inserted:
            msp.add_blockref(name, at)
    return doc


def roads():
    doc = new_drawing({"ROAD-EDGE": WHITE, "ROAD-CENTRE": GREY, "ROAD-TEXT": WHITE})
    msp = doc.modelspace()
    for y in (-12, -2):
        msp.add_line((-10, y), (90, y), dxfattribs={"layer": "ROAD-EDGE"})
    for x in range(-10, 90, 4):  # a dashed centre line, one dash in every 4 m
        msp.add_line((x, -7), (x + 2.5, -7), dxfattribs={"layer": "ROAD-CENTRE"})
    for x in (12, 18):  # the access road up to the car park
        msp.add_line((x, -2), (x, 6), dxfattribs={"layer": "ROAD-EDGE"})
    text(msp, "MILL LANE", (40, -10.5), 2, "ROAD-TEXT")
    return doc


def building():
    doc = new_drawing({"WALLS": WHITE, "ROOMS": CYAN})
    msp = doc.modelspace()
    rectangle(msp, 0, 0, 28, 16, "WALLS")
    rectangle(msp, 0.3, 0.3, 27.7, 15.7, "WALLS")
    msp.add_line((18, 0.3), (18, 15.7), dxfattribs={"layer": "WALLS"})  # office | meeting room
    msp.add_line((18, 8), (27.7, 8), dxfattribs={"layer": "WALLS"})  # meeting room | kitchen
    text(msp, "OPEN OFFICE", (1, 14.3), 0.8, "ROOMS")
    text(msp, "MEETING", (19, 14.3), 0.8, "ROOMS")
    text(msp, "KITCHEN", (19, 6.6), 0.8, "ROOMS")
    return doc


def furniture():
    doc = new_drawing({"FURNITURE": GREEN})
    msp = doc.modelspace()
    for row in range(3):  # three rows of four desks in the open office
        for col in range(4):
            x, y = 2 + col * 4, 2.5 + row * 3.5
            rectangle(msp, x, y, x + 1.6, y + 0.8, "FURNITURE")
    msp.add_circle((22.8, 12), 1.5, dxfattribs={"layer": "FURNITURE"})  # meeting table
    rectangle(msp, 19, 1, 27, 1.8, "FURNITURE")  # kitchen counter
    return doc


def trees():
    doc = new_drawing({"TREES": GREEN})
    msp = doc.modelspace()
    spots = [(x, 45) for x in range(6, 76, 10)] + [(75, y) for y in range(10, 40, 8)]
    for x, y in spots:
        msp.add_circle((x, y), 2.5, dxfattribs={"layer": "TREES"})
        msp.add_point((x, y), dxfattribs={"layer": "TREES"})
    text(msp, "TREES TO BE KEPT", (4, 48), 1, "TREES")
    return doc


def parking():
    doc = new_drawing({"PARKING": WHITE, "PARKING-TEXT": WHITE})
    msp = doc.modelspace()
    rectangle(msp, 4, 6, 30, 26, "PARKING")
    for x in range(4, 31, 2):  # bays of 2 m along the north and south sides
        for y0, y1 in ((6, 11), (21, 26)):
            msp.add_line((x, y0), (x, y1), dxfattribs={"layer": "PARKING"})
    text(msp, "CAR PARK", (11, 15.5), 1.5, "PARKING-TEXT")
    return doc


def oldplan():
    doc = new_drawing({"OLD-SCHEME": GREY})
    msp = doc.modelspace()
    msp.add_lwpolyline([(36, 14), (72, 14), (72, 22), (50, 22), (50, 38), (36, 38)], close=True,
                       dxfattribs={"layer": "OLD-SCHEME"})
    text(msp, "EARLIER SCHEME (SUPERSEDED)", (37, 39), 1, "OLD-SCHEME")
    return doc


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent
    (out / "xrefs" / "archive").mkdir(parents=True, exist_ok=True)
    site(
        [
            ("ROADS", "xrefs\\roads.dxf", ATTACH, (0, 0)),
            ("BUILDING", "xrefs\\building.dwg", ATTACH, (42, 16)),
            ("TREES", "xrefs\\trees.dxf", OVERLAY, (0, 0)),
            ("PARKING", "xrefs\\parking.dxf", ATTACH, (0, 0)),
            ("OLDPLAN", "xrefs\\oldplan.dxf", ATTACH, (0, 0)),
        ],
        inserted={"ROADS", "BUILDING", "TREES", "PARKING"},
    ).saveas(out / "site.dxf")
    b = building()
    b.add_xref_def("furniture.dxf", "FURNITURE", flags=ATTACH)
    b.modelspace().add_blockref("FURNITURE", (0, 0))
    b.saveas(out / "xrefs" / "building.dxf")
    furniture().saveas(out / "xrefs" / "furniture.dxf")
    trees().saveas(out / "xrefs" / "trees.dxf")
    oldplan().saveas(out / "xrefs" / "oldplan.dxf")
    roads().saveas(out / "xrefs" / "roads.dxf")
    parking().saveas(out / "xrefs" / "archive" / "parking.dxf")


if __name__ == "__main__":
    main()
