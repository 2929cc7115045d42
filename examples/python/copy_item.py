#!/usr/bin/env python3
"""Copies an item within a storage area through its XML document, then lists
the area: copy_item.py TYPE AREA ITEM NEWNAME (TYPE is a data type code)."""

import sys

import tsln2xml


def main(argv):
    if len(argv) != 5:
        print(__doc__, file=sys.stderr)
        return 64
    data_type, area, item, new_name = int(argv[1]), argv[2], argv[3], argv[4]
    lib = tsln2xml.Library()
    try:
        text = lib.export_string(data_type, area, item)
        lib.import_string(data_type, text, area, new_name)
        print(lib.list_items(area))
    except tsln2xml.Error as e:
        print(f"failed: {e.message} (code {e.code}, secondary {e.secondary})", file=sys.stderr)
        return e.code
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
