"""Fixtures of the package tests.

Environment: TSLN2XML_LIBRARY (or the library beside the module or on the
system path) for the library under test; TSLN2XML_CLI, the command of the same
build, for the tests that compare with it or make markers and pieces;
TSLN2XML_EXPECT_MODULE_IN, a folder the imported module must lie in (so a test
of an installed package cannot pass on the source tree's module).
"""

import os
import subprocess
from pathlib import Path
from typing import List

import pytest

import tsln2xml

EXAMPLES = Path(__file__).resolve().parents[2] / "examples"


def pytest_sessionstart(session: pytest.Session) -> None:
    expected = os.environ.get("TSLN2XML_EXPECT_MODULE_IN")
    if expected:
        module = Path(tsln2xml.__file__).resolve()
        if Path(expected).resolve() not in module.parents:
            raise pytest.UsageError(f"tsln2xml imported from {module}, not from {expected}")


@pytest.fixture
def area(tmp_path: Path) -> tsln2xml.Area:
    folder = tmp_path / "area"
    folder.mkdir()
    return tsln2xml.Area(folder)


@pytest.fixture
def cli() -> List[str]:
    """The command of the build under test, as an argument list."""
    path = os.environ.get("TSLN2XML_CLI")
    if not path:
        pytest.skip("TSLN2XML_CLI is not set")
    return [path]


def run(cli: List[str], *args: str) -> str:
    return subprocess.run(cli + list(args), check=True, capture_output=True, text=True).stdout


def example_files() -> List[Path]:
    return sorted(EXAMPLES.glob("*/*.xml"))
