#!/usr/bin/env bash
# Builds the tool and its whole test suite with clang's AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan/ and runs the suite there. Every
# report stops the process that made it, so it fails its test.
set -euo pipefail
cd "$(dirname "$0")/.."

flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
cmake --build build-asan -j"$(nproc)"

# abort_on_error: a report ends the tool with SIGABRT, never with one of its
# own exit codes, so no test can take a report for an orderly end.
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
export UBSAN_OPTIONS="abort_on_error=1:halt_on_error=1:print_stacktrace=1"
ctest --test-dir build-asan --output-on-failure -j"$(nproc)" --output-junit junit.xml
