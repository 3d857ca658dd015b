#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite: natively, then the Windows
# build under Wine, then the fuzz targets for about a minute, then the whole
# suite again with the sanitizers. Each suite starts with a heading. A suite
# that fails does not stop the others; at the end a summary gives each
# suite's tests passed, failed and skipped, every skipped test with its
# reason and every failed one, and a last line
# "N passed, M failed, K skipped" over all suites. The exit code is 0 only
# when nothing failed.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh || exit

results=$(mktemp -d "${TMPDIR:-/tmp}/fieldprep-results.XXXXXX")
trap 'rm -rf "$results"' EXIT
suites=()

heading() {
  echo
  echo "==== $1"
  echo
}

# Runs a suite's command, then files its results from CTest's JUnit file:
# name, what it is, JUnit file, command... A suite whose command fails
# outside its tests (its build, say) counts one failed test for that.
ctestSuite() {
  local name=$1 what=$2 junit=$3
  shift 3
  local file=$results/${#suites[@]}
  suites+=("$name")
  heading "$name: $what"
  rm -f "$junit"
  "$@"
  local status=$?
  if [ -f "$junit" ]; then
    awk -f scripts/ctest-results.awk "$junit" >"$file"
  else
    : >"$file"
  fi
  if [ "$status" -ne 0 ] && ! grep -q '^failed' "$file"; then
    printf 'failed\tthe suite\texited with %s outside its tests\n' "$status" \
      >>"$file"
  fi
}

# The fuzz run counts as one test: passed when no target crashed in its time.
fuzzSuite() {
  local name=$1 what=$2
  local file=$results/${#suites[@]}
  suites+=("$name")
  heading "$name: $what"
  if bash scripts/fuzz.sh 60; then
    printf 'passed\tfuzz run\n' >"$file"
  else
    printf 'failed\tfuzz run\tsee build-fuzz/crashes/\n' >"$file"
  fi
}

ctestSuite "native" "the Linux build in build/" build/junit.xml bash -c \
  'bash scripts/build.sh && ctest --test-dir build --output-on-failure \
     -j"$(nproc)" --output-junit junit.xml'
ctestSuite "Windows under Wine" "fieldprep.exe from build-mingw/" \
  build-mingw/junit.xml bash scripts/test-windows.sh
fuzzSuite "fuzzing" \
  "a minute of the fuzz target, one test that passes when nothing crashed"
ctestSuite "sanitizers" \
  "the suite again with AddressSanitizer and UBSan, in build-asan/" \
  build-asan/junit.xml bash scripts/test-sanitizers.sh

heading "Summary"
count() { grep -c "^$1"$'\t' "$2"; }
for i in "${!suites[@]}"; do
  printf '%-20s %4d passed, %d failed, %d skipped\n' "${suites[$i]}:" \
    "$(count passed "$results/$i")" "$(count failed "$results/$i")" \
    "$(count skipped "$results/$i")"
done
for kind in skipped failed; do
  for i in "${!suites[@]}"; do
    grep "^$kind"$'\t' "$results/$i" | cut -f2- |
      sed "s/\t/: /; s/^/  ${suites[$i]}: /"
  done >"$results/$kind"
  if [ -s "$results/$kind" ]; then
    [ "$kind" = skipped ] && echo "Skipped (did not run; each with its reason):"
    [ "$kind" = failed ] && echo "Failed:"
    cat "$results/$kind"
  fi
done
passed=$(cat "$results"/[0-9]* | grep -c $'^passed\t')
failed=$(cat "$results"/[0-9]* | grep -c $'^failed\t')
skipped=$(cat "$results"/[0-9]* | grep -c $'^skipped\t')
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
