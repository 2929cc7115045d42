"""tsln2xml for Python: the library's C interface through ctypes.

    import tsln2xml
    lib = tsln2xml.Library()                       # or Library("/path/to/libtsln2xml.so")
    text = lib.export_string(24, "/tmp/area", "MISSES")
    lib.import_string(24, text, "/tmp/area", "COPY")

A failing call raises tsln2xml.Error carrying the library's code, secondary
code and message. Narrow strings (areas, item names, file names) are passed in
the library's code page (Windows-1252 unless TSLN2XML_CODEPAGE names another);
XML text crosses as UTF-16 BSTRs, which this module frees.
"""

import ctypes
import ctypes.util
import os

__all__ = ["Error", "Library"]


class Error(Exception):
    """A failed call: code (1-7), secondary code and the library's message."""

    def __init__(self, code, secondary, message):
        super().__init__(f"{message} (code {code}, secondary {secondary})")
        self.code = code
        self.secondary = secondary
        self.message = message


_CODE_PAGES = {"437": "cp437", "932": "cp932", "936": "gbk", "949": "cp949", "950": "cp950"}


def _code_page():
    cp = os.environ.get("TSLN2XML_CODEPAGE", "1252")
    return _CODE_PAGES.get(cp, "cp" + cp)


class Library:
    def __init__(self, path=None):
        path = path or os.environ.get("TSLN2XML_LIBRARY") or ctypes.util.find_library("tsln2xml") or "libtsln2xml.so"
        self._lib = lib = ctypes.CDLL(path)
        bstr = ctypes.c_void_p
        cstr = ctypes.c_char_p
        lib.ConvertDataItemToXMLString.argtypes = [ctypes.c_short, cstr, cstr, cstr, ctypes.POINTER(bstr), ctypes.c_int]
        lib.ConvertDataItemToXMLFile.argtypes = [ctypes.c_short, cstr, cstr, cstr, cstr, ctypes.c_int]
        lib.ConvertXMLStringToDataItem.argtypes = [ctypes.c_short, ctypes.c_void_p, ctypes.c_int, cstr, cstr, cstr]
        lib.ConvertXMLFileToDataItem.argtypes = [ctypes.c_short, cstr, ctypes.c_int, cstr, cstr, cstr]
        lib.EnumerateItemsString.argtypes = [cstr, cstr, ctypes.POINTER(bstr), cstr]
        lib.GetLastErrorStringXML.argtypes = [ctypes.POINTER(bstr)]
        lib.GetLastErrorStringXML.restype = None
        lib.SysStringLen.argtypes = [bstr]
        lib.SysStringLen.restype = ctypes.c_uint
        lib.SysFreeString.argtypes = [bstr]
        lib.SysFreeString.restype = None
        lib.SysAllocStringLen.argtypes = [ctypes.c_void_p, ctypes.c_uint]
        lib.SysAllocStringLen.restype = bstr
        self._encoding = _code_page()

    # Text in and out of the library.
    def _narrow(self, text):
        return None if text is None else text.encode(self._encoding)

    def _take(self, b):
        """The text of a BSTR handed out by the library, which is then freed."""
        if not b:
            return ""
        try:
            length = self._lib.SysStringLen(b)
            return ctypes.string_at(b, length * 2).decode("utf-16-le", "surrogatepass")
        finally:
            self._lib.SysFreeString(b)

    def _check(self, code):
        if code != 0:
            message = ctypes.c_void_p()
            self._lib.GetLastErrorStringXML(ctypes.byref(message))
            raise Error(self._lib.GetLastErrorXML(), self._lib.GetLastDbErrorXML(), self._take(message.value))

    # The calls.
    def export_string(self, data_type, area, item, area_root=""):
        out = ctypes.c_void_p()
        self._check(self._lib.ConvertDataItemToXMLString(
            data_type, self._narrow(area_root), self._narrow(area), self._narrow(item), ctypes.byref(out), 0))
        return self._take(out.value)

    def export_file(self, data_type, area, item, xml_file, area_root=""):
        self._check(self._lib.ConvertDataItemToXMLFile(
            data_type, self._narrow(area_root), self._narrow(area), self._narrow(item), self._narrow(xml_file), 0))

    def import_string(self, data_type, text, area, item, area_root=""):
        units = text.encode("utf-16-le", "surrogatepass")
        b = self._lib.SysAllocStringLen(units, len(units) // 2)
        try:
            self._check(self._lib.ConvertXMLStringToDataItem(
                data_type, b, 0, self._narrow(area_root), self._narrow(area), self._narrow(item)))
        finally:
            self._lib.SysFreeString(b)

    def import_file(self, data_type, xml_file, area, item, area_root=""):
        self._check(self._lib.ConvertXMLFileToDataItem(
            data_type, self._narrow(xml_file), 0, self._narrow(area_root), self._narrow(area), self._narrow(item)))

    def list_items(self, area, area_root="", schema_file=None):
        out = ctypes.c_void_p()
        self._check(self._lib.EnumerateItemsString(
            self._narrow(area_root), self._narrow(area), ctypes.byref(out), self._narrow(schema_file)))
        return self._take(out.value)
