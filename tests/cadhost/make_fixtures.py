"""Writes DXF drawings with ezdxf, an independent DXF implementation, for the DXF layer's tests.

Usage: make_fixtures.py OUTPUT_FOLDER
"""
import sys
from pathlib import Path

import ezdxf


def fill(doc, text):
    """Gives a drawing the features the host must keep: xref blocks, xdata, layouts,
    extension dictionaries, polylines and non-ASCII text."""
    doc.layers.add("WALLS", color=3)
    doc.layers.add(text, color=5)
    doc.appids.add("OTHERAPP")
    doc.add_xref_def("parts/wheel.dxf", "WHEEL")
    block = doc.blocks.new("DOOR")
    block.add_line((0, 0), (1, 2))
    msp = doc.modelspace()
    msp.add_blockref("WHEEL", (5, 5))
    msp.add_blockref("DOOR", (1, 1), dxfattribs={"layer": "WALLS"})
    line = msp.add_line((0, 0), (10, 0.1), dxfattribs={"layer": text})
    line.set_xdata("OTHERAPP", [(1000, "kept " + text), (1040, 2.5), (1070, 7)])
    msp.add_text(text, dxfattribs={"height": 1.25})
    if doc.dxfversion > "AC1009":
        msp.add_lwpolyline([(0, 0), (3, 0), (3, 3.5)], close=True)
        line.new_extension_dict()
        layout = doc.layouts.new("Sheet 2")
        layout.add_circle((4, 4), 2)


def twins(doc):
    """Gives a drawing two layers and two blocks whose names differ only in letter case, as
    some writers leave them: first "Twin" (red) and "Pair" (a line), then "TWIN" and "PAIR"
    (a circle)."""
    doc.layers.add("Twin", color=1)
    doc.layers.add("Twin 2", color=2).dxf.name = "TWIN"  # renamed past the duplicate check
    doc.blocks.new("Pair").add_line((0, 0), (1, 1))
    second = doc.blocks.new("Pair 2")
    second.add_circle((0, 0), 1)
    second.block_record.dxf.name = "PAIR"
    second.block.dxf.name = "PAIR"


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    for version in ("R12", "R2000", "R2004", "R2018"):
        doc = ezdxf.new(version)
        fill(doc, "Größe")
        doc.saveas(out / f"ezdxf_{version}.dxf")
        doc.saveas(out / f"ezdxf_{version}_binary.dxf", fmt="bin")
    doc = ezdxf.new("R2000")
    doc.encoding = "cp1251"
    fill(doc, "Слой")
    doc.saveas(out / "ezdxf_R2000_cp1251.dxf")
    for version in ("R12", "R2000"):
        doc = ezdxf.new(version)
        twins(doc)
        doc.saveas(out / f"ezdxf_{version}_twins.dxf")


if __name__ == "__main__":
    main()
