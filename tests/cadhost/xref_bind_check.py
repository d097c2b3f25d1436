"""Compares a block of a drawing with the model space of the xref drawing bound into it, with
ezdxf, and audits the drawing. Prints JSON: the audit's errors, the entity count, every
difference found (the blocks that the xref drawing's references use, xrefs aside, are
compared as well), the drawing's layers with their colours, and the type and layer of each
entity of the drawing's model space.

Usage: xref_bind_check.py DRAWING BLOCK XREF_DRAWING [NAME=BOUND_NAME ...]
Each NAME=BOUND_NAME says that the xref's layer or block NAME is BOUND_NAME in the drawing.
"""
import json
import sys

import ezdxf

IGNORED = {"handle", "owner"}


def attributes(entity):
    return {key: value for key, value in entity.dxf.all_existing_dxf_attribs().items()
            if key not in IGNORED}


def describe(entity, names):
    """Everything an entity holds apart from its handles, sub-entities included, with its
    layer and block names as `names` gives them."""
    def items(e):
        values = attributes(e)
        for key in ("layer", "name"):
            if key in values:
                values[key] = names.get(values[key], values[key])
        return sorted(values.items())

    text = entity.dxftype() + " " + repr(items(entity))
    if entity.dxftype() == "POLYLINE":
        text += repr([items(v) for v in entity.vertices])
    if entity.dxftype() == "INSERT":
        text += repr([items(a) for a in entity.attribs])
    return text


def compare(bound, original, where, differences, names):
    if bound is None:
        differences.append(f"{where}: missing")
        return 0
    bound, original = list(bound), list(original)
    if len(bound) != len(original):
        differences.append(f"{where}: {len(bound)} entities, the xref has {len(original)}")
    for mine, theirs in zip(bound, original):
        if describe(mine, {}) != describe(theirs, names):
            differences.append(f"{where}: {describe(mine, {})} != {describe(theirs, names)}")
    return len(bound)


def main():
    drawing = ezdxf.readfile(sys.argv[1])
    xref = ezdxf.readfile(sys.argv[3])
    auditor = drawing.audit()
    names = dict(pair.split("=", 1) for pair in sys.argv[4:])
    differences = []
    count = compare(drawing.blocks.get(sys.argv[2]), xref.modelspace(), sys.argv[2], differences,
                    names)
    used = {e.dxf.name for e in xref.modelspace()
            if e.dxftype() == "INSERT" and not xref.blocks.get(e.dxf.name).block.is_xref}
    for name in sorted(used):
        bound = names.get(name, name)
        compare(drawing.blocks.get(bound), xref.blocks.get(name), bound, differences, names)
    result = {
        "audit_errors": [str(error.message) for error in auditor.errors],
        "entities": count,
        "differences": differences,
        "layers": {layer.dxf.name: layer.dxf.color for layer in drawing.layers},
        "xrefs": [b.name for b in drawing.blocks if b.block.is_xref],
        "model_space": sorted(f"{e.dxftype()} {e.dxf.layer}" for e in drawing.modelspace()),
    }
    print(json.dumps(result, ensure_ascii=False, sort_keys=True))


if __name__ == "__main__":
    main()
