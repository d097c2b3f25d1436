#!/usr/bin/python3
"""Makes a module's version resource from its description.

The output is the VS_VERSIONINFO layout exactly as the Windows resource compiler writes it:
every structure starts on a 32-bit boundary, a string's wValueLength counts its UTF-16 units
with the closing NUL, a block's wLength includes the padding after its last child, and a leaf's
wLength stops at its last value byte. Two files are written: the resource bytes, and a C++ file
whose top-level assembler puts those bytes into the ELF section ".rsrc.version" of the module
it is compiled into (a section that is not loaded into memory: readers take it from the file).

Description (one statement per line, '#' starts a comment line):

    FILEVERSION     1.4.0.1
    PRODUCTVERSION  1.4.0.0
    TRANSLATION     0x0409 0x04b0
    VALUE "ProductName" "Linkhold"
    FILEFLAGSMASK 0x3f  FILEFLAGS 0  FILEOS 0x40004  FILETYPE 2  FILESUBTYPE 0   (optional)

Strings are double-quoted; \\" and \\\\ stand for a quote and a backslash.
"""

import struct
import sys

SECTION = ".rsrc.version"
SIGNATURE = 0xFEEF04BD
STRUCTURE_VERSION = 0x00010000
DEFAULTS = {
    "FILEFLAGSMASK": 0x3F,  # VS_FFI_FILEFLAGSMASK
    "FILEFLAGS": 0,
    "FILEOS": 0x00040004,  # VOS_NT_WINDOWS32
    "FILETYPE": 2,  # VFT_DLL
    "FILESUBTYPE": 0,
}


class DescriptionError(Exception):
    pass


def parse_strings(text, where):
    """The double-quoted strings of `text`, which holds nothing else."""
    strings = []
    i = 0
    while i < len(text):
        if text[i].isspace():
            i += 1
            continue
        if text[i] != '"':
            raise DescriptionError(f"{where}: expected a quoted string at '{text[i:]}'")
        i += 1
        value = []
        while True:
            if i >= len(text):
                raise DescriptionError(f"{where}: string without closing quote")
            c = text[i]
            if c == "\\":
                if i + 1 >= len(text) or text[i + 1] not in '"\\':
                    raise DescriptionError(f'{where}: only \\" and \\\\ are escapes')
                value.append(text[i + 1])
                i += 2
            elif c == '"':
                i += 1
                break
            else:
                value.append(c)
                i += 1
        strings.append("".join(value))
    return strings


def parse_number(word, where, limit):
    try:
        value = int(word, 0)
    except ValueError:
        raise DescriptionError(f"{where}: '{word}' is not a number") from None
    if not 0 <= value <= limit:
        raise DescriptionError(f"{where}: {word} is out of range")
    return value


def parse_version(word, where):
    parts = word.split(".")
    if len(parts) != 4:
        raise DescriptionError(f"{where}: a version has four numbers, as 1.4.0.1")
    return [parse_number(p, where, 0xFFFF) for p in parts]


def parse(path):
    desc = {"VALUES": [], **DEFAULTS}
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            where = f"{path}:{number}"
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            keyword, _, rest = line.partition(" ")
            keyword = keyword.upper()
            rest = rest.strip()
            if keyword in ("FILEVERSION", "PRODUCTVERSION"):
                desc[keyword] = parse_version(rest, where)
            elif keyword == "TRANSLATION":
                words = rest.split()
                if len(words) != 2:
                    raise DescriptionError(f"{where}: TRANSLATION takes a language and a code page")
                desc[keyword] = [parse_number(w, where, 0xFFFF) for w in words]
            elif keyword in DEFAULTS:
                desc[keyword] = parse_number(rest, where, 0xFFFFFFFF)
            elif keyword == "VALUE":
                strings = parse_strings(rest, where)
                if len(strings) != 2 or not strings[0]:
                    raise DescriptionError(f"{where}: VALUE takes a name and a text")
                if any(strings[0].lower() == name.lower() for name, _ in desc["VALUES"]):
                    raise DescriptionError(f"{where}: value '{strings[0]}' given twice")
                desc["VALUES"].append(tuple(strings))
            else:
                raise DescriptionError(f"{where}: unknown statement '{keyword}'")
    for needed in ("FILEVERSION", "PRODUCTVERSION", "TRANSLATION"):
        if needed not in desc:
            raise DescriptionError(f"{path}: {needed} is missing")
    return desc


def utf16z(text):
    return (text + "\0").encode("utf-16-le")


def pad4(buffer):
    buffer.extend(b"\0" * (-len(buffer) % 4))


def node(key, text_type, value=b"", value_length=0, children=()):
    """One structure: wLength, wValueLength, wType, szKey, padding, value, children."""
    out = bytearray(6)
    out += utf16z(key)
    pad4(out)
    out += value
    for child in children:
        pad4(out)
        out += child
    if children:
        pad4(out)
    if len(out) > 0xFFFF:
        raise DescriptionError(f"the block '{key}' is longer than 65535 bytes")
    struct.pack_into("<HHH", out, 0, len(out), value_length, 1 if text_type else 0)
    return bytes(out)


def version_words(v):
    return (v[0] << 16) | v[1], (v[2] << 16) | v[3]


def build(desc):
    file_ms, file_ls = version_words(desc["FILEVERSION"])
    product_ms, product_ls = version_words(desc["PRODUCTVERSION"])
    fixed = struct.pack("<13I", SIGNATURE, STRUCTURE_VERSION, file_ms, file_ls, product_ms,
                        product_ls, desc["FILEFLAGSMASK"], desc["FILEFLAGS"], desc["FILEOS"],
                        desc["FILETYPE"], desc["FILESUBTYPE"], 0, 0)
    language, code_page = desc["TRANSLATION"]
    strings = [
        node(name, True, utf16z(text), len(utf16z(text)) // 2) for name, text in desc["VALUES"]
    ]
    table = node(f"{language:04x}{code_page:04x}", True, children=strings)
    string_info = node("StringFileInfo", True, children=[table])
    translation = struct.pack("<HH", language, code_page)
    var_info = node("VarFileInfo", True,
                    children=[node("Translation", False, translation, len(translation))])
    return node("VS_VERSION_INFO", False, fixed, len(fixed), [string_info, var_info])


def assembler_source(resource, description):
    lines = [
        f"// Made from {description} by version_resource.py: the module's version resource.",
        "// The section is not loaded into memory; the version calls read it from the file.",
        "// clang-format off",
        f'asm(".pushsection {SECTION},\\"\\",@progbits\\n"',
        '    ".p2align 2\\n"',
    ]
    for i in range(0, len(resource), 16):
        chunk = ",".join(f"0x{b:02x}" for b in resource[i:i + 16])
        lines.append(f'    ".byte {chunk}\\n"')
    lines.append('    ".popsection\\n");')
    return "\n".join(lines) + "\n"


def write_if_changed(path, data):
    try:
        with open(path, "rb") as f:
            if f.read() == data:
                return
    except FileNotFoundError:
        pass
    with open(path, "wb") as f:
        f.write(data)


def main(argv):
    if len(argv) != 4:
        sys.stderr.write("usage: version_resource.py DESCRIPTION RESOURCE.bin SOURCE.cpp\n")
        return 2
    try:
        resource = build(parse(argv[1]))
    except (DescriptionError, OSError, UnicodeError) as error:
        sys.stderr.write(f"version_resource.py: {error}\n")
        return 1
    write_if_changed(argv[2], resource)
    write_if_changed(argv[3], assembler_source(resource, argv[1]).encode("utf-8"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
