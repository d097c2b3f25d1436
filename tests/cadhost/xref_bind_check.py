"""Compares a block of a drawing with the model space of the xref drawing bound into it, with
ezdxf, and audits the drawing. Prints JSON: the audit's errors, the entity count, every
difference found (the blocks that the xref drawing's references use, xrefs aside, are
compared as well), and the drawing's layers with their colours.

Usage: xref_bind_check.py DRAWING BLOCK XREF_DRAWING
"""
import json
import sys

import ezdxf

IGNORED = {"handle", "owner"}


def attributes(entity):
    return {key: value for key, value in entity.dxf.all_existing_dxf_attribs().items()
            if key not in IGNORED}


def describe(entity):
    """Everything an entity holds apart from its handles, sub-entities included."""
    text = entity.dxftype() + " " + repr(sorted(attributes(entity).items()))
    if entity.dxftype() == "POLYLINE":
        text += repr([sorted(attributes(v).items()) for v in entity.vertices])
    if entity.dxftype() == "INSERT":
        text += repr([sorted(attributes(a).items()) for a in entity.attribs])
    return text


def compare(bound, original, where, differences):
    if bound is None:
        differences.append(f"{where}: missing")
        return 0
    bound, original = list(bound), list(original)
    if len(bound) != len(original):
        differences.append(f"{where}: {len(bound)} entities, the xref has {len(original)}")
    for mine, theirs in zip(bound, original):
        if describe(mine) != describe(theirs):
            differences.append(f"{where}: {describe(mine)} != {describe(theirs)}")
    return len(bound)


def main():
    drawing = ezdxf.readfile(sys.argv[1])
    xref = ezdxf.readfile(sys.argv[3])
    auditor = drawing.audit()
    differences = []
    count = compare(drawing.blocks.get(sys.argv[2]), xref.modelspace(), sys.argv[2], differences)
    used = {e.dxf.name for e in xref.modelspace()
            if e.dxftype() == "INSERT" and not xref.blocks.get(e.dxf.name).block.is_xref}
    for name in sorted(used):
        compare(drawing.blocks.get(name), xref.blocks.get(name), name, differences)
    result = {
        "audit_errors": [str(error.message) for error in auditor.errors],
        "entities": count,
        "differences": differences,
        "layers": {layer.dxf.name: layer.dxf.color for layer in drawing.layers},
        "xrefs": [b.name for b in drawing.blocks if b.block.is_xref],
    }
    print(json.dumps(result, ensure_ascii=False, sort_keys=True))


if __name__ == "__main__":
    main()
