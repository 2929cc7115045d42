#!/usr/bin/env bash
# Installs the Python package with pip into a fresh virtual environment,
# offline (setuptools and wheel from the system), and runs its tests against
# the installed copy and the build's library.
set -euo pipefail
build=$1
src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$src/python" "$work/python"  # pip builds in the folder it is given
/usr/bin/python3 -m venv --system-site-packages "$work/venv"
"$work/venv/bin/pip" install -q --no-build-isolation --no-index --disable-pip-version-check "$work/python"
site=$("$work/venv/bin/python" -c 'import sysconfig; print(sysconfig.get_paths()["purelib"])')
[ -f "$site/tsln2xml/py.typed" ] || { echo "py.typed not installed"; exit 1; }
(cd "$work" && env TSLN2XML_LIBRARY="$(ls "$build"/libtsln2xml.so.0)" TSLN2XML_CLI="$build/tsln2xml" \
  TSLN2XML_EXPECT_MODULE_IN="$site" "$work/venv/bin/python" -m pytest -q -p no:cacheprovider "$src/python/tests")
echo "pip installed the package offline and its tests passed"
