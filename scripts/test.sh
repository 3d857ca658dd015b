#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite: natively, then the Windows
# build under Wine, then the fuzz targets for about a minute, then the whole
# suite again with the sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
ctest --test-dir build --output-on-failure -j"$(nproc)"
bash scripts/test-windows.sh
bash scripts/fuzz.sh 60
bash scripts/test-sanitizers.sh
