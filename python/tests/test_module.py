"""The module around the calls: data types, library lookup, version."""

import os
import shutil
import subprocess
import sys
from pathlib import Path
from typing import List

import pytest

import tsln2xml
from conftest import run

DT = tsln2xml.DataType


@pytest.mark.parametrize("given,expected", [
    (DT.SizeCode, DT.SizeCode), (24, DT.SizeCode), ("24", DT.SizeCode), ("SizeCode", DT.SizeCode),
    ("sizecode", DT.SizeCode), (" Marker ", DT.Marker), (1, DT.Alteration), ("Text", DT.Text)])
def test_data_types_by_member_code_or_name(given: object, expected: DT) -> None:
    assert DT.of(given) is expected


@pytest.mark.parametrize("given", [10, 0, 26, -1, "10", "Size Code", "", True, 2.0, None])
def test_what_names_no_data_type_is_refused(given: object) -> None:
    with pytest.raises(ValueError):
        DT.of(given)


def test_data_types_are_the_commands_table(cli: List[str]) -> None:
    rows = [line.split()[:2] for line in run(cli, "types").splitlines()[1:]]
    assert [(int(code), name) for code, name in rows] == [(t.value, t.name) for t in DT]


def test_version_is_the_commands(cli: List[str]) -> None:
    assert run(cli, "--version").strip() == f"tsln2xml {tsln2xml.__version__}"


def test_a_library_that_does_not_load_is_reported_with_where_it_was_looked_for(
        monkeypatch: pytest.MonkeyPatch) -> None:
    with pytest.raises(tsln2xml.LibraryNotFound, match="/nonexistent/libtsln2xml.so"):
        tsln2xml.Library("/nonexistent/libtsln2xml.so")
    # TSLN2XML_LIBRARY is the only place looked at when it is set.
    monkeypatch.setenv("TSLN2XML_LIBRARY", "/nonexistent/other.so")
    with pytest.raises(tsln2xml.LibraryNotFound, match="TSLN2XML_LIBRARY=/nonexistent/other.so"):
        tsln2xml.Library()


def test_the_library_beside_the_module_is_found_without_any_setting(tmp_path: Path) -> None:
    loaded = tsln2xml.load_library()
    library = Path(loaded.path)
    if not library.is_file():
        pytest.skip(f"the library under test was found by the dynamic loader ({loaded.path})")
    copy = tmp_path / "tsln2xml"
    shutil.copytree(Path(tsln2xml.__file__).parent, copy, ignore=shutil.ignore_patterns("__pycache__", "*.so*"))
    shutil.copy(library, copy / "libtsln2xml.so.0")
    env = {k: v for k, v in os.environ.items() if k not in ("TSLN2XML_LIBRARY", "LD_LIBRARY_PATH", "PYTHONPATH")}
    out = subprocess.run([sys.executable, "-c", "import tsln2xml; print(tsln2xml.load_library().path)"],
                         cwd=tmp_path, env=env, check=True, capture_output=True, text=True).stdout.strip()
    assert out == str(copy / "libtsln2xml.so.0")
