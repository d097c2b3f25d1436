"""Writes a drawing with many xrefs and their files spread over project folders.

Usage: make_many_xrefs.py OUTPUT_FOLDER HOST_FOLDER COUNT FOLDERS
Xref i's file is p<i % FOLDERS>/x<i>.dxf. Even xrefs store that full path; odd ones store
only the bare name x<i>.dwg, so only a project search path finds them.
"""
import sys
from pathlib import Path

import ezdxf


def main():
    out, host, count, folders = Path(sys.argv[1]), sys.argv[2].rstrip("\\"), int(sys.argv[3]), int(sys.argv[4])
    xref_file = ezdxf.new("R2000")
    xref_file.modelspace().add_line((0, 0), (1, 1))
    for folder in range(folders):
        (out / f"p{folder}").mkdir(parents=True, exist_ok=True)
    doc = ezdxf.new("R2000")
    msp = doc.modelspace()
    for i in range(count):
        folder = f"p{i % folders}"
        xref_file.saveas(out / folder / f"x{i:04}.dxf")
        stored = f"{host}\\{folder}\\x{i:04}.dxf" if i % 2 == 0 else f"x{i:04}.dwg"
        doc.add_xref_def(stored, f"X{i:04}")
        msp.add_blockref(f"X{i:04}", (i, 0))
    doc.saveas(out / "host.dxf")


if __name__ == "__main__":
    main()
