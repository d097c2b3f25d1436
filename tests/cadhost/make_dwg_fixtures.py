"""Writes a drawing whose xrefs are DWG files, with ezdxf, for the DWG reader's tests.

Usage: make_dwg_fixtures.py OUTPUT_FOLDER DWG_FOLDER

The DWG drawings of DWG_FOLDER are copied beside host.dxf, which attaches and inserts:
  ARC      arc.dwg        (2013-Arc.dwg: one arc)
  EXAMPLE  example.dwg    (example_2000.dwg: layers, blocks, many entity types)
  DOOR     door.dwg       (r14-v.dwg, an R14 drawing: lines and a text)
  LINE     line.dwg       (2018-Line.dwg: one line)
  DAMAGED  damaged.dwg    (the first 3000 bytes of example_2018.dwg)
  PLAIN    plain.dxf      a DXF drawing that attaches CIRCLE circle.dwg (2004-circle.dwg)
"""
import shutil
import sys
from pathlib import Path

import ezdxf

ATTACH = 4 | 16


def main():
    out = Path(sys.argv[1])
    dwg = Path(sys.argv[2])
    out.mkdir(parents=True, exist_ok=True)
    for source, target in (("2013-Arc.dwg", "arc.dwg"), ("example_2000.dwg", "example.dwg"),
                           ("r14-v.dwg", "door.dwg"), ("2018-Line.dwg", "line.dwg"),
                           ("2004-circle.dwg", "circle.dwg")):
        shutil.copyfile(dwg / source, out / target)
    (out / "damaged.dwg").write_bytes((dwg / "example_2018.dwg").read_bytes()[:3000])

    plain = ezdxf.new("R2000")
    plain.add_xref_def("circle.dwg", "CIRCLE", flags=ATTACH)
    plain.modelspace().add_blockref("CIRCLE", (0, 0))
    plain.saveas(out / "plain.dxf")

    host = ezdxf.new("R2000")
    for name, path in (("ARC", "arc.dwg"), ("EXAMPLE", "example.dwg"), ("DOOR", "door.dwg"),
                       ("LINE", "line.dwg"), ("DAMAGED", "damaged.dwg"),
                       ("PLAIN", "plain.dxf")):
        host.add_xref_def(path, name, flags=ATTACH)
        host.modelspace().add_blockref(name, (0, 0))
    host.saveas(out / "host.dxf")


main()
