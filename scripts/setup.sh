#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need, where they
# are missing. Run as root, or as a user who may use sudo.
#   bash scripts/setup.sh              # everything the test command needs
#   bash scripts/setup.sh --tool-only  # only what building the tool needs
set -euo pipefail

packages=(cmake g++ make libjsoncpp-dev)
if [ "${1:-}" != "--tool-only" ]; then
  packages+=(libgtest-dev googletest
    # The end-to-end test that traces the run's flushes and renames.
    strace
    # The Windows build and its tests under Wine (scripts/test-windows.sh).
    g++-mingw-w64-x86-64-posix wine64 wine dpkg-dev wixl
    # The sanitizer build and the fuzz targets (scripts/test-sanitizers.sh,
    # scripts/fuzz.sh): the compiler-rt of the release's default clang.
    clang libclang-rt-dev)
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
