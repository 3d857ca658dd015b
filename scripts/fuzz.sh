#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz/ (clang, with AddressSanitizer
# and UndefinedBehaviorSanitizer) and runs each for the given number of
# seconds (default 60 in all), starting from the seed corpus in fuzz/corpus/.
# New inputs found go to build-fuzz/corpus/, crashes to build-fuzz/crashes/.
#   bash scripts/fuzz.sh         # about a minute, as the test command runs it
#   bash scripts/fuzz.sh 600     # a longer run: ten minutes
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
targets=(run)

flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS="$flags" \
  -DFIELDPREP_TESTS=OFF -DFIELDPREP_FUZZ=ON >/dev/null
for target in "${targets[@]}"; do
  cmake --build build-fuzz -j"$(nproc)" --target "fieldprep_${target}_fuzzer"
done

# The target runs the tool in a scratch folder under TMPDIR: one in
# build-fuzz/, where a crash leaves the run's files.
mkdir -p build-fuzz/scratch
export TMPDIR=$PWD/build-fuzz/scratch
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1:strict_string_checks=1"
export UBSAN_OPTIONS="abort_on_error=1:halt_on_error=1:print_stacktrace=1"
share=$(( seconds / ${#targets[@]} ))
for target in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$target
  mkdir -p "$corpus" build-fuzz/crashes
  echo "Fuzzing $target for ${share}s"
  "build-fuzz/fuzz/fieldprep_${target}_fuzzer" \
    -max_total_time="$share" -timeout=10 -max_len=8192 \
    -rss_limit_mb=4096 -malloc_limit_mb=2048 \
    -dict="fuzz/$target.dict" -print_final_stats=1 \
    -artifact_prefix="build-fuzz/crashes/${target}-" \
    "$corpus" "fuzz/corpus/$target" 2> "build-fuzz/$target.log" || {
      tail -n 60 "build-fuzz/$target.log"
      echo "fuzz target $target failed; the input is in build-fuzz/crashes/" >&2
      exit 1
    }
  grep -E '^stat::(number_of_executed_units|peak_rss_mb|new_units_added)' \
    "build-fuzz/$target.log" || true
done
