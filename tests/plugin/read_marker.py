"""Prints, as JSON, what ezdxf reads of the marker block "$LNKHOLD$" of a DXF file.

Usage: read_marker.py FILE
"""
import json
import sys

import ezdxf


def entity_report(entity):
    report = {"type": entity.dxftype()}
    if entity.dxftype() == "LWPOLYLINE":
        points = list(entity.get_points("xyseb"))
        report["vertices"] = len(points)
        report["distinct_vertices"] = sorted({tuple(point) for point in points})
    if entity.has_xdata("LNKHOLD"):
        report["xdata"] = [[code, value] for code, value in entity.get_xdata("LNKHOLD")]
    return report


def main():
    doc = ezdxf.readfile(sys.argv[1])
    block = doc.blocks.get("$LNKHOLD$")
    result = {
        "audit_errors": [str(error.message) for error in doc.audit().errors],
        "block": None if block is None else [entity_report(e) for e in block],
        "inserted": any(e.dxf.name == "$LNKHOLD$" for e in doc.modelspace().query("INSERT")),
    }
    print(json.dumps(result))


if __name__ == "__main__":
    main()
