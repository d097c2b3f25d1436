"""Prints what ezdxf reads of a saved drawing's xrefs, one line each, sorted by name:
NAME path=STORED overlay=0|1 inserted=0|1 unloaded=0|1, then the audit's error count.

Usage: xref_summary.py FILE
"""
import sys

import ezdxf


def main():
    doc = ezdxf.readfile(sys.argv[1])
    inserted = {insert.dxf.name.upper() for insert in doc.modelspace().query("INSERT")}
    lines = []
    for block in doc.blocks:
        if not block.block.is_xref:
            continue
        record = block.block_record
        unloaded = record.has_xdata("CADHOST_XREF") and any(
            value == "Unloaded" for _, value in record.get_xdata("CADHOST_XREF"))
        lines.append(f"{block.name} path={block.block.dxf.xref_path} "
                     f"overlay={int(block.block.is_xref_overlay)} "
                     f"inserted={int(block.name.upper() in inserted)} unloaded={int(unloaded)}")
    print("\n".join(sorted(lines)))
    print(f"audit errors={len(doc.audit().errors)}")


if __name__ == "__main__":
    main()
