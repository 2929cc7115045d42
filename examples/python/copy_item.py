#!/usr/bin/env python3
"""Copies an item within a storage area through its XML document, then lists
the area: copy_item.py TYPE AREA ITEM NEWNAME (TYPE is a data type name or code).

Uses the tsln2xml package (python/ of the source tree, or installed)."""

import sys

import tsln2xml


def main(argv):
    if len(argv) != 5:
        print(__doc__, file=sys.stderr)
        return 64
    data_type, area_dir, item, new_name = argv[1:]
    area = tsln2xml.Area(area_dir)
    try:
        text = area.export(data_type, item)
        area.import_(data_type, new_name, text)
        for listed in area.items():
            print(f"{listed.type.name:<22} {listed.name:<20} {listed.size:>8}")
    except tsln2xml.Error as e:
        print(f"failed: {e.message} (code {e.code}, secondary {e.secondary_code})", file=sys.stderr)
        return e.code
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
