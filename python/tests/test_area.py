"""The Area API over the library: conversions both ways, item lists, markers,
failures as exceptions, names in the code page, BSTRs freed, threads."""

import threading
import xml.etree.ElementTree as ET
from pathlib import Path
from typing import Callable, List

import pytest

import tsln2xml
from conftest import EXAMPLES, example_files, run


@pytest.mark.parametrize("example", example_files(), ids=lambda p: f"{p.parent.name}/{p.name}")
def test_every_example_round_trips_through_path_and_text(area: tsln2xml.Area, example: Path) -> None:
    data_type = example.parent.name
    area.import_(data_type, example.stem, example)
    text = area.export(data_type, example.stem)
    assert ET.fromstring(text.encode("utf-16")).tag.endswith(data_type)
    # Again from the text, the type given by its code: the same document comes back.
    area.import_(tsln2xml.DataType.of(data_type).value, example.stem, text)
    assert area.export(data_type, example.stem) == text


def test_documents_as_a_path_in_a_str_text_and_bytes_and_export_to_a_file(area: tsln2xml.Area, tmp_path: Path) -> None:
    area.import_("SizeCode", "MISSES", str(EXAMPLES / "SizeCode" / "MISSES.xml"))
    area.export_file("SizeCode", "MISSES", tmp_path / "out.xml")
    written = ET.parse(tmp_path / "out.xml").getroot()
    assert written.tag == "{urn:tsln2xml:data/SizeCode}SizeCode"
    assert written.get("Name") == "MISSES"
    # A document with a byte-order mark is text, too; bytes are a document in
    # the encoding they declare.
    area.import_("SizeCode", "BOM", "\ufeff" + area.export("SizeCode", "MISSES"))
    latin1 = (EXAMPLES / "SizeCode" / "MISSES.xml").read_text(encoding="utf-8").replace(
        'encoding="UTF-8"', 'encoding="ISO-8859-1"').replace('Name="LENGTH"', 'Name="LÄNGE"')
    area.import_("SizeCode", "LATIN1", latin1.encode("latin-1"))
    assert 'Name="LÄNGE"' in area.export("SizeCode", "LATIN1")
    area.import_("SizeCode", "UTF16", area.export("SizeCode", "MISSES").encode("utf-16"))
    utf16 = area.export("SizeCode", "UTF16")
    assert utf16.replace('Name="UTF16"', 'Name="MISSES"', 1) == area.export("SizeCode", "MISSES")


def test_items_types_and_filters(area: tsln2xml.Area) -> None:
    area.import_("SizeCode", "MISSES", EXAMPLES / "SizeCode" / "MISSES.xml")
    area.import_("SizeCode", "kids", EXAMPLES / "SizeCode" / "KIDS.xml")
    area.import_("Model", "SHIRT", EXAMPLES / "Model" / "SHIRT.xml")
    items = area.items()
    # Types in code order, names regardless of case.
    assert [(i.type, i.name) for i in items] == [
        (tsln2xml.DataType.Model, "SHIRT"), (tsln2xml.DataType.SizeCode, "kids"),
        (tsln2xml.DataType.SizeCode, "MISSES")]
    for item in items:
        assert item.size > 0 and item.user
        assert item.modified is not None and item.modified.utcoffset().total_seconds() == 0
    assert [i.name for i in area.items("sizecode")] == ["kids", "MISSES"]
    assert [i.name for i in area.items(12)] == ["SHIRT"]
    assert len(area.items(["Model", tsln2xml.DataType.SizeCode])) == 3
    assert area.items(tsln2xml.DataType.Grading) == []
    assert area.types() == [tsln2xml.DataType.Model, tsln2xml.DataType.SizeCode]


def test_marker_as_text_and_file_checked_against_the_schema(area: tsln2xml.Area, cli: List[str],
                                                            tmp_path: Path) -> None:
    run(cli, "demo-marker", area.path, "DEMO")
    text = area.marker("DEMO")
    assert ET.fromstring(text.encode("utf-16")).tag == "marker"
    schema = Path(cli[0]).resolve().parent / "MARKER.XSD"
    if not schema.exists():  # an installed command: the schemas are under share/
        schema = Path(cli[0]).resolve().parents[1] / "share" / "tsln2xml" / "MARKER.XSD"
    area.marker_file("DEMO", tmp_path / "DEMO.xml", schema)
    assert (tmp_path / "DEMO.xml").read_bytes().decode("utf-16") == text
    with pytest.raises(tsln2xml.ItemNotFound):
        area.marker("NOSUCH")


FAILURES = [
    # (what the call does, the exception class, its code)
    ("export of a missing item", lambda a: a.export("SizeCode", "NOSUCH"), tsln2xml.ItemNotFound, 5),
    ("text that is not well-formed", lambda a: a.import_("SizeCode", "X", "<SizeCode"), tsln2xml.InvalidDocument, 1),
    ("a namespace that names no schema", lambda a: a.import_("SizeCode", "X", "<SizeCode/>"),
     tsln2xml.SchemaError, 2),
    ("a document file that does not exist", lambda a: a.import_("SizeCode", "X", "/nonexistent/doc.xml"),
     tsln2xml.InvalidDocument, 1),
    ("markers have no document import", lambda a: a.import_("Marker", "X", "<marker/>"),
     tsln2xml.UnsupportedConversion, 7),
    ("a storage area that does not exist", lambda a: tsln2xml.Area(a.path + "/missing").items(),
     tsln2xml.ItemNotFound, 5),
]


@pytest.mark.parametrize("call,cls,code", [f[1:] for f in FAILURES], ids=[f[0] for f in FAILURES])
def test_failures_raise_the_class_of_their_code(area: tsln2xml.Area, call: Callable[[tsln2xml.Area], object],
                                                cls: type, code: int) -> None:
    with pytest.raises(cls) as caught:
        call(area)
    error = caught.value
    assert isinstance(error, tsln2xml.Error)
    assert (error.code, cls.code) == (code, code)
    assert isinstance(error.secondary_code, int)
    assert error.message and error.message in str(error)
    # A failed import writes nothing.
    assert not (Path(area.path) / "sizpt.ctl").exists() or area.items("SizeCode") == []


def test_names_in_the_code_page(area: tsln2xml.Area) -> None:
    area.import_("SizeCode", "CAFÉ", EXAMPLES / "SizeCode" / "MISSES.xml")
    assert [i.name for i in area.items()] == ["CAFÉ"]
    assert 'Name="CAFÉ"' in area.export("SizeCode", "CAFÉ")
    # A character code page 1252 cannot hold would name another item: refused before any call.
    with pytest.raises(ValueError, match="code page"):
        area.import_("SizeCode", "日本", EXAMPLES / "SizeCode" / "MISSES.xml")
    with pytest.raises(ValueError, match="NUL"):
        area.export("SizeCode", "A\0B")
    assert [i.name for i in area.items()] == ["CAFÉ"]


def test_every_bstr_handed_out_is_freed_once(area: tsln2xml.Area, monkeypatch: pytest.MonkeyPatch) -> None:
    library = tsln2xml.load_library()
    seen: List[int] = []
    freed: List[int] = []
    real_length, real_free = library._length, library._free
    monkeypatch.setattr(library, "_length", lambda b: (seen.append(b), real_length(b))[1])
    monkeypatch.setattr(library, "_free", lambda b: (freed.append(b), real_free(b))[1])
    area.import_("SizeCode", "MISSES", EXAMPLES / "SizeCode" / "MISSES.xml")
    area.export("SizeCode", "MISSES")
    area.items()
    for fails in (lambda: area.export("SizeCode", "NOSUCH"), lambda: area.import_("SizeCode", "X", "<a")):
        with pytest.raises(tsln2xml.Error):
            fails()
    # The export, the list and two failure messages.
    assert len(seen) == 4 and sorted(freed) == sorted(seen)


def test_threads_each_see_their_own_failure(area: tsln2xml.Area) -> None:
    wrong: List[str] = []

    def fail_often(call: Callable[[], object], cls: type) -> None:
        for _ in range(400):
            try:
                call()
            except tsln2xml.Error as e:
                if type(e) is not cls:
                    wrong.append(f"{cls.__name__} expected, {e!r} raised")

    threads = [threading.Thread(target=fail_often, args=(lambda: area.export("SizeCode", "NOSUCH"),
                                                         tsln2xml.ItemNotFound)),
               threading.Thread(target=fail_often, args=(lambda: area.import_("SizeCode", "X", "<SizeCode/>"),
                                                         tsln2xml.SchemaError))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert wrong == []
