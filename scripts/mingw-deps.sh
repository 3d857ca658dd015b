#!/usr/bin/env bash
# Builds the libraries of the Windows cross build into build-mingw-deps/prefix:
# jsoncpp from Debian's source package (fetched under a private apt
# configuration, so nothing under /etc/apt changes) and GoogleTest from the
# sources in /usr/src/googletest. Done once; later calls return at once.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
deps=$root/build-mingw-deps
prefix=$deps/prefix
toolchain=$root/cmake/mingw-w64-x86_64.cmake
[ -f "$prefix/.complete" ] && exit 0

rm -rf "$deps"
mkdir -p "$deps"

# The deb-src entries: the same archive, suites and components as the
# machine's own Debian entries.
sources=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(COMPONENT)' \
  'Identifier: Packages' 'Origin: Debian' | sort -u)
if [ -z "$sources" ]; then
  echo "mingw-deps: apt knows no Debian archive; run apt-get update first" >&2
  exit 1
fi
apt=$deps/apt
mkdir -p "$apt/lists/partial" "$apt/sources.list.d" "$apt/source"
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
options=""
[ -f "$keyring" ] && options="[signed-by=$keyring] "
while read -r uri suite component; do
  echo "deb-src $options$uri $suite $component"
done <<<"$sources" >"$apt/sources.list"
# As root, apt downloads as the user _apt: give it the folders it fills.
if [ "$(id -u)" -eq 0 ] && id _apt >/dev/null 2>&1; then
  chown -R _apt "$apt/lists" "$apt/source"
fi
aptOptions=(
  -o Dir::Etc::sourcelist="$apt/sources.list"
  -o Dir::Etc::sourceparts="$apt/sources.list.d"
  -o Dir::State::Lists="$apt/lists"
  -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache=
)
apt-get -q "${aptOptions[@]}" update >"$apt/update.log"
(cd "$apt/source" && apt-get -q "${aptOptions[@]}" source --download-only libjsoncpp) \
  >"$apt/source.log"
dsc=$(compgen -G "$apt/source/*jsoncpp_1.9.5-*.dsc" | head -n 1 || true)
if [ -z "$dsc" ]; then
  echo "mingw-deps: no jsoncpp 1.9.5 source package; see $apt/source.log" >&2
  exit 1
fi
dpkg-source -x "$dsc" "$deps/jsoncpp" >"$apt/extract.log" 2>&1

configure() {  # source folder, build folder, options...
  local source=$1 build=$2
  shift 2
  cmake -S "$source" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >"$build.log"
  cmake --build "$build" -j"$(nproc)" >>"$build.log"
  cmake --install "$build" >>"$build.log"
}

configure "$deps/jsoncpp" "$deps/jsoncpp-build" \
  -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON -DBUILD_OBJECT_LIBS=OFF \
  -DJSONCPP_WITH_TESTS=OFF -DJSONCPP_WITH_POST_BUILD_UNITTEST=OFF \
  -DJSONCPP_WITH_EXAMPLE=OFF -DJSONCPP_WITH_PKGCONFIG_SUPPORT=OFF
configure /usr/src/googletest "$deps/googletest-build" \
  -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON

touch "$prefix/.complete"
