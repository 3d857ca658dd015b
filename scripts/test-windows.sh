#!/usr/bin/env bash
# Builds fieldprep.exe with mingw-w64 and runs the tests under Wine: the unit
# tests, the native suite's end-to-end runs against fieldprep.exe, and the
# Windows-only runs (exact command lines, the batch file under cmd). The
# end-to-end harness is the native build's, so that is built first.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/build.sh >/dev/null
bash scripts/mingw-deps.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j"$(nproc)"

# A fresh Wine prefix of our own. Its server is started ahead, detached from
# our standard streams (ctest would wait for the pipes it inherited), and
# stopped however the run ends. Wine keeps the server's socket under TMPDIR:
# a folder of our own, removed at the end.
export WINEPREFIX=$PWD/build-mingw/wine-prefix
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
export TMPDIR
TMPDIR=$(mktemp -d /tmp/fieldprep-wine.XXXXXX)
wineserver=/usr/lib/wine/wineserver
stopWine() {
  "$wineserver" -k </dev/null >/dev/null 2>&1 || true
  "$wineserver" -w </dev/null >/dev/null 2>&1 || true
  rm -rf "$TMPDIR"
}
trap stopWine EXIT
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
"$wineserver" -p </dev/null >/dev/null 2>&1
/usr/lib/wine/wine64 wineboot --init </dev/null >build-mingw/wineboot.log 2>&1

ctest --preset mingw -j"$(nproc)" --output-junit junit.xml
