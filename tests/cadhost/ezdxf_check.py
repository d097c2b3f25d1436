"""Reads a DXF file with ezdxf, audits it and prints what the DXF layer's tests compare, as JSON.

Usage: ezdxf_check.py FILE
"""
import json
import sys

import ezdxf


def entity_summary(entity):
    summary = {"type": entity.dxftype(), "layer": entity.dxf.get("layer")}
    if entity.dxftype() == "LWPOLYLINE":
        vertices = list(entity.get_points("xyseb"))
    elif entity.dxftype() == "POLYLINE":
        vertices = [
            (v.dxf.location.x, v.dxf.location.y, v.dxf.start_width, v.dxf.end_width, v.dxf.bulge)
            for v in entity.vertices
        ]
        summary["closed"] = entity.is_closed
    if entity.dxftype() in ("LWPOLYLINE", "POLYLINE"):
        summary["points"] = len(vertices)
        summary["last"] = list(vertices[-1][:2])
        summary["vertex1"] = [float(value) for value in vertices[1]]
    if entity.dxftype() == "INSERT":
        summary["name"] = entity.dxf.name
    for app in ("LNKHOLD", "OTHERAPP"):
        if entity.has_xdata(app):
            summary["xdata_" + app] = [[code, value] for code, value in entity.get_xdata(app)]
    return summary


def main():
    doc = ezdxf.readfile(sys.argv[1])
    auditor = doc.audit()
    result = {
        "audit_errors": [str(error.message) for error in auditor.errors],
        "layers": sorted(layer.dxf.name for layer in doc.layers),
        "appids": sorted(appid.dxf.name for appid in doc.appids),
        "blocks": {
            block.name: [entity_summary(e) for e in block]
            for block in doc.blocks
            if not block.name.startswith("*")
        },
        "xrefs": {block.name: block.block.dxf.xref_path for block in doc.blocks if block.block.is_xref},
        "modelspace": [entity_summary(e) for e in doc.modelspace()],
        "paperspace": [entity_summary(e) for e in doc.layouts.active_layout()],
        "clayer": doc.header.get("$CLAYER"),
    }
    print(json.dumps(result, ensure_ascii=False, sort_keys=True))


if __name__ == "__main__":
    main()
