"""tsln2xml for Python: the items of a storage area as XML documents and back.

    import tsln2xml
    area = tsln2xml.Area("/tmp/area")
    area.import_("SizeCode", "MISSES", "examples/SizeCode/MISSES.xml")
    text = area.export(tsln2xml.DataType.SizeCode, "MISSES")
    for item in area.items():
        print(item.name, item.type.name, item.size, item.modified, item.user)

The module calls libtsln2xml's C interface through ctypes. The library is
found from TSLN2XML_LIBRARY (the library's file), beside this module, or on
the system's search path (``load_library``). A failed call raises a subclass
of ``tsln2xml.Error`` with the library's code, secondary code and message.
"""

from ._library import Library, LibraryNotFound, load_library
from .area import Area, Item
from .datatypes import DataType
from .errors import (Error, InvalidDocument, ItemNotFound, NoDocument, SchemaError, StandardLibraryError,
                     UnsupportedConversion, XmlServiceError)

__version__ = "0.1.0"

__all__ = [
    "Area",
    "DataType",
    "Error",
    "InvalidDocument",
    "Item",
    "ItemNotFound",
    "Library",
    "LibraryNotFound",
    "NoDocument",
    "SchemaError",
    "StandardLibraryError",
    "UnsupportedConversion",
    "XmlServiceError",
    "load_library",
]
