"""Finding and loading libtsln2xml, and the calls of its C interface.

Every BSTR the library hands out is freed here, on success and on failure,
and every failure becomes an exception of ``tsln2xml.errors``.
"""

import ctypes
import ctypes.util
import os
import sys
import threading
from pathlib import Path
from typing import Callable, List, Optional, Sequence, Tuple, Union

from .errors import error_for

__all__ = ["Library", "LibraryNotFound", "load_library"]

PathLike = Union[str, "os.PathLike[str]"]

_WINDOWS = sys.platform == "win32"
# The names the library goes by beside this module and on the system path.
_FILE_NAMES = ["tsln2xml.dll"] if _WINDOWS else ["libtsln2xml.so.0", "libtsln2xml.so"]

# Python's codec for each code page the library knows (TSLN2XML_CODEPAGE).
_CODECS = {cp: f"cp{cp}" for cp in (1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258,
                                     437, 850, 866, 874, 932, 949, 950)}
_CODECS[936] = "gbk"


class LibraryNotFound(OSError):
    """libtsln2xml could not be found or loaded; the message lists where it
    was looked for."""


def _code_page() -> int:
    """The code page the library uses for narrow strings: TSLN2XML_CODEPAGE
    when it names a known one, else the system's (Windows) or 1252."""
    text = os.environ.get("TSLN2XML_CODEPAGE", "")
    if text.isdigit() and int(text) in _CODECS:
        return int(text)
    if _WINDOWS:
        acp = int(ctypes.windll.kernel32.GetACP())  # type: ignore[attr-defined]
        if acp in _CODECS:
            return acp
    return 1252


def _candidates() -> List[str]:
    """Where the library is looked for, in order: TSLN2XML_LIBRARY alone when
    set; else beside this module, then the system's search path."""
    explicit = os.environ.get("TSLN2XML_LIBRARY")
    if explicit:
        return [explicit]
    here = Path(__file__).resolve().parent
    found = [str(here / name) for name in _FILE_NAMES if (here / name).exists()]
    found += _FILE_NAMES  # the dynamic loader's own search (LD_LIBRARY_PATH, ld.so.cache, PATH)
    system = ctypes.util.find_library("tsln2xml")
    if system:
        found.append(system)
    return found


def _load(candidates: Sequence[str], where: str) -> Tuple[ctypes.CDLL, str]:
    problems = []
    for name in candidates:
        try:
            return ctypes.CDLL(name), name
        except OSError as e:
            problems.append(f"{name}: {e}")
    raise LibraryNotFound("libtsln2xml could not be loaded from " + where + ":\n  " + "\n  ".join(problems))


# Stands for the BSTR a call hands out among the arguments of call_for_text.
OUT = object()

_BSTR = ctypes.c_void_p
_CSTR = ctypes.c_char_p
_INT = ctypes.c_int
_SHORT = ctypes.c_short


class Library:
    """The loaded library with typed signatures for its calls.

    The library keeps one last-error record per process, so every call and
    the reading of its failure hold one lock: a failure is never reported
    with another thread's message. Most programs never make one of these
    themselves; ``Area`` uses the one ``load_library()`` gives.
    """

    path: str
    """The file (or bare name given to the dynamic loader) that was loaded."""

    def __init__(self, path: Optional[PathLike] = None) -> None:
        """Loads the library from ``path``, or finds it (``load_library``)."""
        if path is not None:
            self._lib, self.path = _load([os.fspath(path)], "the file given")
        elif os.environ.get("TSLN2XML_LIBRARY"):
            self._lib, self.path = _load(_candidates(), "TSLN2XML_LIBRARY=" + os.environ["TSLN2XML_LIBRARY"])
        else:
            self._lib, self.path = _load(_candidates(), "beside the module or the system's search path "
                                         "(set TSLN2XML_LIBRARY to the library's file)")
        lib = self._lib
        self._lock = threading.Lock()
        self.code_page = _code_page()
        self.encoding = _CODECS[self.code_page]
        signatures = {
            "ConvertDataItemToXMLFile": [_SHORT, _CSTR, _CSTR, _CSTR, _CSTR, _INT],
            "ConvertDataItemToXMLString": [_SHORT, _CSTR, _CSTR, _CSTR, ctypes.POINTER(_BSTR), _INT],
            "ConvertXMLFileToDataItem": [_SHORT, _CSTR, _INT, _CSTR, _CSTR, _CSTR],
            "ConvertXMLStringToDataItem": [_SHORT, ctypes.c_void_p, _INT, _CSTR, _CSTR, _CSTR],
            "ConvertMarkerToXML": [_CSTR, _CSTR, _CSTR, _CSTR, _CSTR],
            "EnumerateItemsString": [_CSTR, _CSTR, ctypes.POINTER(_BSTR), _CSTR],
            "EnumerateItemsOfTypes": [ctypes.POINTER(_INT), _INT, _CSTR, _CSTR, _CSTR, _CSTR],
            "GetLastErrorXML": [],
            "GetLastDbErrorXML": [],
        }
        for name, argtypes in signatures.items():
            fn = getattr(lib, name)
            fn.argtypes = argtypes
            fn.restype = _INT
        lib.GetLastErrorStringXML.argtypes = [ctypes.POINTER(_BSTR)]
        lib.GetLastErrorStringXML.restype = None
        # BSTRs belong to the system on Windows (oleaut32), to the library elsewhere.
        bstrs = ctypes.windll.oleaut32 if _WINDOWS else lib  # type: ignore[attr-defined]
        self._free = bstrs.SysFreeString
        self._free.argtypes = [_BSTR]
        self._free.restype = None
        self._length = bstrs.SysStringLen
        self._length.argtypes = [_BSTR]
        self._length.restype = ctypes.c_uint

    # Text across the interface.
    def narrow(self, text: Optional[Union[PathLike, bytes]], what: str) -> Optional[bytes]:
        """A name or path in the library's code page; ``ValueError`` when it
        holds a character the code page cannot (that would name another item
        or file) or a NUL."""
        if text is None:
            return None
        if isinstance(text, bytes):
            text = os.fsdecode(text)
        text = os.fspath(text)
        try:
            encoded = text.encode(self.encoding)
        except UnicodeEncodeError as e:
            raise ValueError(f"the {what} {text!r} has characters that code page {self.code_page} "
                             "cannot hold (see TSLN2XML_CODEPAGE)") from e
        if b"\0" in encoded:
            raise ValueError(f"the {what} {text!r} holds a NUL character")
        return encoded

    def _take(self, bstr: Optional[int]) -> str:
        """The text of a BSTR handed out by the library; the BSTR is freed."""
        if not bstr:
            return ""
        try:
            units = self._length(bstr)
            return ctypes.string_at(bstr, units * 2).decode("utf-16-le", "surrogatepass")
        finally:
            self._free(bstr)

    def call(self, fn: Callable[..., int], *args: object) -> None:
        """Calls ``fn``; a failure raises the exception of its code."""
        with self._lock:
            if fn(*args) == 0:
                return
            code = self._lib.GetLastErrorXML()
            secondary = self._lib.GetLastDbErrorXML()
            message = _BSTR()
            self._lib.GetLastErrorStringXML(ctypes.byref(message))
            text = self._take(message.value)
        raise error_for(code, secondary, text)

    def call_for_text(self, fn: Callable[..., int], *args: object) -> str:
        """Calls ``fn`` with ``OUT`` among ``args`` standing for the BSTR it
        hands out; returns that BSTR's text. The BSTR is freed whether the
        call succeeds or fails."""
        out = _BSTR()
        try:
            self.call(fn, *(ctypes.byref(out) if a is OUT else a for a in args))
        except BaseException:
            self._take(out.value)  # a failed call should hand out nothing, but free it if it did
            raise
        return self._take(out.value)

    @property
    def raw(self) -> ctypes.CDLL:
        """The loaded library itself, with the signatures set."""
        return self._lib


_default: Optional[Library] = None
_default_lock = threading.Lock()


def load_library(path: Optional[PathLike] = None) -> Library:
    """The library: loaded from ``path`` when given; otherwise the one found
    (once per process) from TSLN2XML_LIBRARY, beside this module, or on the
    system's search path. Raises ``LibraryNotFound``."""
    global _default
    if path is not None:
        return Library(path)
    with _default_lock:
        if _default is None:
            _default = Library()
        return _default
