"""A storage area: its items, converted to XML documents and back."""

import ctypes
import datetime
import os
import shutil
import sys
import tempfile
import xml.etree.ElementTree as ET
from pathlib import Path
from typing import Iterable, List, NamedTuple, Optional, Union

from ._library import OUT, Library, PathLike, load_library
from .datatypes import DataType, TypeLike
from .errors import ItemNotFound

_WINDOWS = sys.platform == "win32"

__all__ = ["Area", "Item"]


class Item(NamedTuple):
    """One item of a storage area, as the item list gives it: its name, data
    type, stored size in bytes, last modification (UTC; None when the list
    gives none) and the user who made it."""

    name: str
    type: DataType
    size: int
    modified: Optional[datetime.datetime]
    user: str


def _time(text: Optional[str]) -> Optional[datetime.datetime]:
    if not text:
        return None
    moment = datetime.datetime.strptime(text, "%Y-%m-%dT%H:%M:%SZ")
    return moment.replace(tzinfo=datetime.timezone.utc)


def _parse_items(document: Union[str, bytes]) -> List[Item]:
    root = ET.fromstring(document)
    items = []
    for element in root.iter("DataItem"):
        try:
            data_type = DataType.of(element.get("DataType", ""))
        except ValueError:
            continue  # a type this module does not know yet: left out rather than misnamed
        items.append(Item(name=element.get("Name", ""), type=data_type, size=int(element.get("Size", "0")),
                          modified=_time(element.get("Modified")), user=element.get("ModifiedUser", "")))
    return items


def _looks_like_document(text: str) -> bool:
    return text.lstrip("\ufeff \t\r\n").startswith("<")


class _Scratch:
    """A private temporary folder, removed on exit, for calls that write files."""

    def __enter__(self) -> Path:
        self.path = Path(tempfile.mkdtemp(prefix="tsln2xml-"))
        return self.path

    def __exit__(self, *exc: object) -> None:
        shutil.rmtree(self.path, ignore_errors=True)


class Area:
    """A storage area (a directory holding one catalog per data type).

    Names and paths are passed to the library in its code page (1252 unless
    TSLN2XML_CODEPAGE names another); one with a character the code page
    cannot hold raises ``ValueError``. Data types are given as ``DataType``
    members, codes or names. Failures of the library raise ``tsln2xml.Error``
    subclasses with the library's code, secondary code and message.

    >>> area = Area("/tmp/area")                                   # doctest: +SKIP
    >>> area.import_("SizeCode", "MISSES", "examples/SizeCode/MISSES.xml")  # doctest: +SKIP
    >>> area.export("SizeCode", "MISSES")[:38]                     # doctest: +SKIP
    '<?xml version="1.0" encoding="UTF-16"?>'
    """

    def __init__(self, path: PathLike, *, library: Optional[Union[Library, PathLike]] = None) -> None:
        """The storage area at ``path``; nothing is opened until a call.

        ``library`` is a loaded ``Library`` or the library file to load;
        by default the library is found as ``load_library()`` describes.
        """
        self.path = os.fspath(path)
        if isinstance(library, Library):
            self._library = library
        else:
            self._library = load_library(library)
        self._area = self._library.narrow(self.path, "storage area")

    def __repr__(self) -> str:
        return f"Area({self.path!r})"

    def _check_exists(self) -> None:
        """The library lists a missing storage area as an empty one; a script
        with a mistyped directory should hear of it, as the command says it.
        (A drive path such as C:\\AREA maps through TSLN2XML_DRIVE_C outside
        Windows and is left to the library.)"""
        drive = len(self.path) >= 2 and self.path[1] == ":" and self.path[0].isalpha()
        if (drive and not _WINDOWS) or os.path.isdir(self.path):
            return
        raise ItemNotFound(5, 0, f"Storage area {self.path} does not exist")

    def _name(self, name: str) -> Optional[bytes]:
        return self._library.narrow(name, "item name")

    # Item lists.
    def items(self, type: Optional[Union[TypeLike, Iterable[TypeLike]]] = None) -> List[Item]:
        """The items of the area, or only those of ``type`` (one data type or
        several): types in ascending code order, the items of a type by name
        regardless of case. A storage area that does not exist, or a
        catalog that cannot be read, fails the whole list (``ItemNotFound``)."""
        lib = self._library
        self._check_exists()
        if type is None:
            return _parse_items(lib.call_for_text(lib.raw.EnumerateItemsString, b"", self._area, OUT, None))
        if isinstance(type, (DataType, int, str)):
            types = [DataType.of(type)]
        else:
            types = [DataType.of(t) for t in type]
        codes = (ctypes.c_int * max(len(types), 1))(*types)
        with _Scratch() as folder:
            out = folder / "items.xml"
            lib.call(lib.raw.EnumerateItemsOfTypes, codes, len(types), b"", self._area,
                     lib.narrow(out, "file"), None)
            return _parse_items(out.read_bytes())

    def types(self) -> List[DataType]:
        """The data types that have at least one item in the area, in
        ascending code order."""
        return sorted({item.type for item in self.items()})

    # Item conversions.
    def export(self, type: TypeLike, name: str) -> str:
        """The item's XML document as text."""
        lib = self._library
        return lib.call_for_text(lib.raw.ConvertDataItemToXMLString, DataType.of(type), b"", self._area,
                                 self._name(name), OUT, 0)

    def export_file(self, type: TypeLike, name: str, path: PathLike) -> None:
        """Writes the item's XML document to the file ``path``."""
        lib = self._library
        lib.call(lib.raw.ConvertDataItemToXMLFile, DataType.of(type), b"", self._area, self._name(name),
                 lib.narrow(path, "file"), 0)

    def import_(self, type: TypeLike, name: str, document: Union[str, bytes, PathLike]) -> None:
        """Stores a document as the item ``name``, replacing an item of that
        name; a failed import leaves the area as it was.

        ``document`` is the document's text (a ``str`` whose first character
        other than white space is ``<``), its bytes as read from a file (any
        encoding the document declares), or the path of a file holding it (a
        ``pathlib.Path``, or any other ``str``).
        """
        lib = self._library
        code = DataType.of(type)
        if isinstance(document, bytes):
            with _Scratch() as folder:
                copy = folder / "document.xml"
                copy.write_bytes(document)
                lib.call(lib.raw.ConvertXMLFileToDataItem, code, lib.narrow(copy, "file"), 0, b"", self._area,
                         self._name(name))
        elif isinstance(document, str) and _looks_like_document(document):
            if "\0" in document:
                raise ValueError("the document text holds a NUL character")
            units = ctypes.create_string_buffer(document.encode("utf-16-le", "surrogatepass") + b"\0\0")
            lib.call(lib.raw.ConvertXMLStringToDataItem, code, units, 0, b"", self._area, self._name(name))
        else:
            lib.call(lib.raw.ConvertXMLFileToDataItem, code, lib.narrow(document, "file"), 0, b"", self._area,
                     self._name(name))

    # Markers.
    def marker(self, name: str) -> str:
        """The marker's XML document as text."""
        with _Scratch() as folder:
            out = folder / "marker.xml"
            self.marker_file(name, out)
            return out.read_bytes().decode("utf-16")

    def marker_file(self, name: str, path: PathLike, schema: Optional[PathLike] = None) -> None:
        """Writes the marker's XML document (UTF-16) to the file ``path``,
        checked against the schema file ``schema`` when one is given."""
        lib = self._library
        lib.call(lib.raw.ConvertMarkerToXML, b"", self._area, self._name(name), lib.narrow(path, "file"),
                 lib.narrow(schema, "schema file"))
