"""Gives the demo's ROADS xref a layer of its own for the bind tests, or reports the layers of
a saved drawing.

Usage: xref_layers.py add FOLDER
           FOLDER/xrefs/roads.dxf draws a line on its layer KERB (colour 3); FOLDER/site.dxf
           gets a layer KERB of its own (colour 1) and ROADS|KERB, the layer ROADS brought in
       xref_layers.py show FILE BLOCK
           prints "layer NAME COLOUR" for each layer, "BLOCK: TYPE LAYER" for each entity of
           the block, then the audit's error count
"""
import sys
from pathlib import Path

import ezdxf

DEPENDENT_RESOLVED = 16 | 32


def add(folder):
    roads = ezdxf.readfile(folder / "xrefs" / "roads.dxf")
    roads.layers.add("KERB", color=3)
    roads.modelspace().add_line((0, 0), (10, 0), dxfattribs={"layer": "KERB"})
    roads.saveas(folder / "xrefs" / "roads.dxf")
    site = ezdxf.readfile(folder / "site.dxf")
    site.layers.add("KERB", color=1)
    site.layers.add("ROADS|KERB", color=3).dxf.flags = DEPENDENT_RESOLVED
    site.saveas(folder / "site.dxf")


def show(file, block):
    doc = ezdxf.readfile(file)
    for layer in doc.layers:
        print(f"layer {layer.dxf.name} {layer.dxf.color}")
    for entity in doc.blocks.get(block):
        print(f"{block}: {entity.dxftype()} {entity.dxf.layer}")
    print(f"audit errors={len(doc.audit().errors)}")


def main():
    if sys.argv[1] == "add":
        add(Path(sys.argv[2]))
    else:
        show(sys.argv[2], sys.argv[3])


if __name__ == "__main__":
    main()
