"""The Python sessions of the README and docs/python.md, run as they are
written (their storage area replaced by a fresh one), print what they show."""

import os
import re
import subprocess
import sys
from pathlib import Path
from typing import List, Tuple

import pytest

from conftest import EXAMPLES

SOURCE = EXAMPLES.parent


def indented_blocks(text: str) -> List[str]:
    """The indented code blocks of a Markdown text, dedented."""
    blocks, current = [], []
    for line in text.splitlines() + ["end"]:
        if line.startswith("    ") or (current and not line.strip()):
            current.append(line[4:])
            continue
        if current:
            blocks.append("\n".join(current).strip("\n") + "\n")
            current = []
    return blocks


def session(document: str) -> Tuple[str, str]:
    """The block holding `import tsln2xml` (a here-document's body if it is
    one) and the block after it, which shows what it prints."""
    blocks = indented_blocks((SOURCE / document).read_text(encoding="utf-8"))
    at = next(i for i, b in enumerate(blocks) if "import tsln2xml" in b)
    code = blocks[at]
    heredoc = re.search(r"<<'EOF'\n(.*?)^EOF$", code, re.S | re.M)
    return (heredoc.group(1) if heredoc else code), blocks[at + 1]


@pytest.mark.parametrize("document", ["README.md", "docs/python.md"])
def test_the_session_prints_what_it_shows(document: str, tmp_path: Path) -> None:
    code, shown = session(document)
    assert "/tmp/pyarea" in code
    area = tmp_path / "pyarea"
    area.mkdir()
    result = subprocess.run([sys.executable, "-c", code.replace("/tmp/pyarea", str(area))], cwd=SOURCE,
                            env=dict(os.environ, TSLN2XML_CODEPAGE="1252"), capture_output=True, text=True)
    assert result.returncode == 0, result.stderr
    assert result.stdout == shown
