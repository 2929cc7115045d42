"""The failures of the library's calls as exceptions, one class per code."""

from typing import Dict, Type

__all__ = [
    "Error",
    "InvalidDocument",
    "SchemaError",
    "NoDocument",
    "XmlServiceError",
    "ItemNotFound",
    "StandardLibraryError",
    "UnsupportedConversion",
    "error_for",
]


class Error(Exception):
    """A failed call of the library.

    ``code`` is the library's failure code (1 to 7), ``secondary_code`` its
    secondary code (the storage's own code for code 5, else usually 0) and
    ``message`` the library's message. Each code has a subclass; a code this
    module does not know raises ``Error`` itself.
    """

    code: int = 0

    def __init__(self, code: int, secondary_code: int, message: str) -> None:
        super().__init__(f"{message} (code {code}, secondary code {secondary_code})")
        self.code = code
        self.secondary_code = secondary_code
        self.message = message


class InvalidDocument(Error):
    """Code 1: the document or the item's content is unusable (not
    well-formed, a missing element, a short or impossible item)."""

    code = 1


class SchemaError(Error):
    """Code 2: the document is not valid against its schema, or its
    namespace names no schema."""

    code = 2


class NoDocument(Error):
    """Code 3: no document object."""

    code = 3


class XmlServiceError(Error):
    """Code 4: the XML service failed, or a value does not fit its field."""

    code = 4


class ItemNotFound(Error):
    """Code 5: the item could not be opened, created or saved (no such
    item, no such storage area, a catalog that cannot be read or written).
    ``secondary_code`` tells which."""

    code = 5


class StandardLibraryError(Error):
    """Code 6: a standard-library failure inside the library."""

    code = 6


class UnsupportedConversion(Error):
    """Code 7: the data type has no converter in that direction."""

    code = 7


_BY_CODE: Dict[int, Type[Error]] = {
    cls.code: cls
    for cls in (InvalidDocument, SchemaError, NoDocument, XmlServiceError, ItemNotFound,
                StandardLibraryError, UnsupportedConversion)
}


def error_for(code: int, secondary_code: int, message: str) -> Error:
    """The exception for a failure: the subclass of its code, or ``Error``."""
    return _BY_CODE.get(code, Error)(code, secondary_code, message)
