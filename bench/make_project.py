"""Writes a project of drawings for the batch benchmark: COUNT drawings, each with five xrefs
of which one is missing, over a shared folder of xref files and a copy of it to repath to.

Usage: make_project.py OUTPUT_FOLDER COUNT
OUTPUT_FOLDER/xrefs/x00.dxf..x19.dxf   the xref files the drawings use
OUTPUT_FOLDER/xrefs-new/               the same files, where the batch repaths the xrefs
OUTPUT_FOLDER/drawings/d0000.dxf...    drawing i stores ..\\xrefs\\x<(i + 3j) % 20>.dxf for
                                       j = 0..3 and ..\\xrefs\\gone<i % 7>.dxf, which is missing
"""
import shutil
import sys
from pathlib import Path

import ezdxf

XREF_FILES = 20
SLOTS = 5


def main():
    out, count = Path(sys.argv[1]), int(sys.argv[2])
    for folder in ("xrefs", "xrefs-new", "drawings"):
        (out / folder).mkdir(parents=True, exist_ok=True)
    for k in range(XREF_FILES):
        part = ezdxf.new("R2000")
        part.modelspace().add_circle((k, 0), 1 + k / 10)
        part.saveas(out / "xrefs" / f"x{k:02}.dxf")
        shutil.copy(out / "xrefs" / f"x{k:02}.dxf", out / "xrefs-new" / f"x{k:02}.dxf")
    # One drawing made by ezdxf with placeholder names; the others are copies with the names
    # put in, so that a thousand drawings take a second, not a minute.
    template = ezdxf.new("R2000")
    msp = template.modelspace()
    msp.add_line((0, 0), (50, 30))
    for slot in range(SLOTS):
        template.add_xref_def(f"..\\xrefs\\SLOT{slot}QQ.dxf", f"SLOT{slot}QQ")
        msp.add_blockref(f"SLOT{slot}QQ", (slot * 10, 0))
    template.saveas(out / "template.dxf")
    text = (out / "template.dxf").read_text(encoding="utf-8")
    (out / "template.dxf").unlink()
    for i in range(count):
        names = [f"x{(i + 3 * j) % XREF_FILES:02}" for j in range(SLOTS - 1)] + [f"gone{i % 7}"]
        drawing = text
        for slot, name in enumerate(names):
            drawing = drawing.replace(f"SLOT{slot}QQ", name)
        (out / "drawings" / f"d{i:04}.dxf").write_text(drawing, encoding="utf-8")


if __name__ == "__main__":
    main()
