#!/usr/bin/python3
"""Reads DXF files with ezdxf, an independent reader, and prints what it found
for the tests to compare with our own model: one line per entity, fields
apart by tabs,

    FILE     path  dxfversion
    PROBLEM  text
    OWNER    TYPE  LAYER  fields...

where OWNER is the block's name or *ENTITIES and the fields are
POLYLINE closed(0|1) x y x y ...; POINT x y [angle]; LINE x1 y1 x2 y2;
TEXT x y height text; INSERT block x y.

    check_dxf.py FILE.dxf [FILE.dxf ...]

For each file: a strict ezdxf.readfile, doc.audit() and
ezdxf.recover.readfile must report no error. The one fix ezdxf makes to
every R12 file without handles (it drops the SEQEND of a POLYLINE inside a
BLOCK, whose owner it cannot name) is allowed and counted; any other fix
fails. Exit status: 0 when every file passes, 1 when one fails, 77 when
ezdxf is not installed (the tests then skip with that message).
"""

import sys

try:
    import ezdxf
    from ezdxf import recover
except ImportError:
    print("ezdxf is not installed for /usr/bin/python3 (Debian package python3-ezdxf)")
    sys.exit(77)


def allowed(fix):
    return "SEQEND" in fix.message and "owner" in fix.message


def check_audit(auditor, what, problems):
    for e in auditor.errors:
        problems.append("%s error: %s" % (what, e.message))
    for f in auditor.fixes:
        if not allowed(f):
            problems.append("%s fix: %s" % (what, f.message))


def number(v):
    return repr(float(v))


def entity(owner, e):
    kind = e.dxftype()
    fields = [owner, kind, e.dxf.layer]
    if kind == "POLYLINE":
        fields.append("1" if e.is_closed else "0")
        for v in e.vertices:
            fields += [number(v.dxf.location.x), number(v.dxf.location.y)]
    elif kind == "POINT":
        fields += [number(e.dxf.location.x), number(e.dxf.location.y)]
        if e.dxf.hasattr("angle"):
            fields.append(number(e.dxf.angle))
    elif kind == "LINE":
        fields += [number(e.dxf.start.x), number(e.dxf.start.y), number(e.dxf.end.x), number(e.dxf.end.y)]
    elif kind == "TEXT":
        fields += [number(e.dxf.insert.x), number(e.dxf.insert.y), number(e.dxf.height), e.dxf.text]
    elif kind == "INSERT":
        fields += [e.dxf.name, number(e.dxf.insert.x), number(e.dxf.insert.y)]
    return "\t".join(fields)


def check(path):
    problems = []
    raw = open(path, "rb").read()
    if any(b > 0x7E or (b < 0x20 and b not in (0x0D, 0x0A)) for b in raw):
        problems.append("not 7-bit printable ASCII")
    bare = raw.replace(b"\r\n", b"")
    if b"\n" in bare or b"\r" in bare:
        problems.append("a line does not end in CRLF")
    doc = ezdxf.readfile(path)
    check_audit(doc.audit(), "audit", problems)
    _, recovered = recover.readfile(path)
    check_audit(recovered, "recover", problems)
    # Read again: the audit above changes the document.
    doc = ezdxf.readfile(path)
    lines = ["FILE\t%s\t%s" % (path, doc.dxfversion)]
    lines += ["PROBLEM\t" + p for p in problems]
    for block in doc.blocks:
        if block.name.startswith("*"):
            continue
        lines += [entity(block.name, e) for e in block]
    lines += [entity("*ENTITIES", e) for e in doc.modelspace()]
    return lines, not problems


def main():
    ok = True
    for path in sys.argv[1:]:
        lines, passed = check(path)
        print("\n".join(lines))
        ok = ok and passed
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
