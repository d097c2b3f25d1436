"""Writes drawings shown in a layout, for the model and paper space tests.

Usage: make_layouts.py OUTPUT_FOLDER
  viewport.dxf    TILEMODE 0; its layout holds one viewport (number 2); project "Bridge"
  sheet.dxf       TILEMODE 0; its layout holds no viewport
  model.dxf       TILEMODE 1 (the Model tab)
"""
import sys
from pathlib import Path

import ezdxf


def drawing(tilemode, viewport):
    doc = ezdxf.new("R2004")  # the first release whose header keeps $PROJECTNAME
    doc.header["$TILEMODE"] = tilemode
    doc.modelspace().add_line((0, 0), (10, 10))
    if viewport:
        doc.layout("Layout1").add_viewport(
            center=(5, 5), size=(8, 8), view_center_point=(5, 5), view_height=10)
    return doc


def main():
    out = Path(sys.argv[1])
    with_viewport = drawing(0, True)
    with_viewport.header["$PROJECTNAME"] = "Bridge"
    with_viewport.saveas(out / "viewport.dxf")
    drawing(0, False).saveas(out / "sheet.dxf")
    drawing(1, False).saveas(out / "model.dxf")


if __name__ == "__main__":
    main()
