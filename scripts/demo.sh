#!/usr/bin/env bash
# Sets up and builds the tool, then runs it on the bundled sample settings in
# a scratch folder and shows the four files it leaves there.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh >/dev/null

scratch=$(mktemp -d "${TMPDIR:-/tmp}/fieldprep-demo.XXXXXX")
mkdir "$scratch/tmp"
cp build/fieldprep "$scratch/"
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
