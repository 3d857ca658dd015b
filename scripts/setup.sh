#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need, where they
# are missing. Run as root, or as a user who may use sudo.
set -euo pipefail

packages=(cmake g++ make libjsoncpp-dev libgtest-dev googletest
  # The Windows build and its tests under Wine (scripts/test-windows.sh).
  g++-mingw-w64-x86-64-posix wine64 wine dpkg-dev wixl
  # The sanitizer build and the fuzz targets (scripts/test-sanitizers.sh,
  # scripts/fuzz.sh).
  clang libclang-rt-14-dev)

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
