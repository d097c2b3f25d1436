"""Prints what ezdxf reads of a saved drawing's xrefs, one line each, sorted by name:
NAME path=STORED overlay=0|1 inserted=0|1 unloaded=0|1, followed by " at=X,Y,Z scale=SX,SY,SZ
rotation=DEGREES" when the first reference is placed other than at the origin, unscaled and
unrotated; then the audit's error count.

Usage: xref_summary.py FILE
"""
import sys

import ezdxf


def placement(insert):
    if insert is None:
        return ""
    where = tuple(insert.dxf.insert)
    scale = (insert.dxf.xscale, insert.dxf.yscale, insert.dxf.zscale)
    if where == (0, 0, 0) and scale == (1, 1, 1) and insert.dxf.rotation == 0:
        return ""
    numbers = lambda values: ",".join(f"{v:g}" for v in values)
    return f" at={numbers(where)} scale={numbers(scale)} rotation={insert.dxf.rotation:g}"


def main():
    doc = ezdxf.readfile(sys.argv[1])
    first_reference = {}
    for insert in doc.modelspace().query("INSERT"):
        first_reference.setdefault(insert.dxf.name.upper(), insert)
    lines = []
    for block in doc.blocks:
        if not block.block.is_xref:
            continue
        record = block.block_record
        unloaded = record.has_xdata("CADHOST_XREF") and any(
            value == "Unloaded" for _, value in record.get_xdata("CADHOST_XREF"))
        lines.append(f"{block.name} path={block.block.dxf.xref_path} "
                     f"overlay={int(block.block.is_xref_overlay)} "
                     f"inserted={int(block.name.upper() in first_reference)} unloaded={int(unloaded)}"
                     f"{placement(first_reference.get(block.name.upper()))}")
    print("\n".join(sorted(lines)))
    print(f"audit errors={len(doc.audit().errors)}")


if __name__ == "__main__":
    main()
