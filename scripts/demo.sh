#!/usr/bin/env bash
# Installs and builds only what the tool needs (in build-demo/, without the
# tests), then runs it on the bundled sample settings in a scratch folder and
# shows the four files it leaves there.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --tool-only
cmake -S . -B build-demo -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DFIELDPREP_TESTS=OFF >/dev/null
cmake --build build-demo -j"$(nproc)" --target fieldprep >/dev/null

scratch=$(mktemp -d "${TMPDIR:-/tmp}/fieldprep-demo.XXXXXX")
mkdir "$scratch/tmp"
cp build-demo/fieldprep "$scratch/"
cp samples/QORConfiguration.json "$scratch/"
settings=$(cat samples/settings.json)

status=0
(cd "$scratch" && TMPDIR="$scratch/tmp" ./fieldprep "$settings") || status=$?
echo "fieldprep exited with $status; its files are in $scratch:"
for file in fieldprep.log QORConfiguration.json README.txt SILENT_INSTALL.BAT; do
  echo "  $scratch/$file"
done
echo
echo "--- QORConfiguration.json"
tr -d '\r' < "$scratch/QORConfiguration.json"
exit "$status"
