#!/usr/bin/env bash
# Builds the Debian package from the build's install rules and CPack settings,
# checks its control fields, unpacks it with `dpkg -x` into a scratch root and
# checks the unpacked tree, and runs lintian on it where lintian is installed.
# Exits 77 (skipped) without dpkg-deb or cpack.
#   deb_test.sh BUILD_DIR VERSION WITH_WINDOW(yes|no)
set -euo pipefail

build=$1
version=$2
with_window=$3
here=$(dirname "$0")

for tool in dpkg-deb cpack; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

scratch=$(mktemp -d "$PWD/deb.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# `make package` would first rebuild the whole tree through the preinstall
# target, racing the other tests; installing the finished build and packaging
# that directory yields the same package without touching the build.
config=$build/CPackConfig.cmake
prefix=$(sed -n 's/^set(CPACK_PACKAGING_INSTALL_PREFIX "\(.*\)")$/\1/p' "$config")
[ -n "$prefix" ] || { echo "FAIL: $config sets no CPACK_PACKAGING_INSTALL_PREFIX" >&2; exit 1; }
DESTDIR=$scratch/stage cmake --install "$build" --prefix "$prefix" --strip >/dev/null
(cd "$scratch" && cpack --config "$config" -B "$scratch/out" \
  -D CPACK_INSTALL_CMAKE_PROJECTS= -D "CPACK_INSTALLED_DIRECTORIES=$scratch/stage;." >cpack.log 2>&1) ||
  { cat "$scratch/cpack.log" >&2; echo "FAIL: cpack could not build the package" >&2; exit 1; }

packages=("$scratch"/out/*.deb)
[ -f "${packages[0]}" ] && [ "${#packages[@]}" -eq 1 ] ||
  { echo "FAIL: expected one .deb, found: ${packages[*]}" >&2; exit 1; }
deb=${packages[0]}

failures=0
field() { dpkg-deb -f "$deb" "$1"; }
expect_field() {
  [ "$(field "$1")" = "$2" ] || { echo "FAIL: $1 is '$(field "$1")', expected '$2'" >&2; failures=$((failures + 1)); }
}
expect_dependency() {
  [[ ", $(field Depends)," == *", $1 "* || ", $(field Depends)," == *", $1,"* ]] ||
    { echo "FAIL: Depends lacks $1: $(field Depends)" >&2; failures=$((failures + 1)); }
}

expect_field Package tessaglyph
expect_field Version "$version"
expect_field Section graphics
[[ $(field Maintainer) =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] ||
  { echo "FAIL: Maintainer '$(field Maintainer)' is not 'Name <mail>'" >&2; failures=$((failures + 1)); }
[ "$(field Description | wc -l)" -ge 2 ] ||
  { echo "FAIL: the package has no long description" >&2; failures=$((failures + 1)); }
expect_dependency libjpeg62-turbo
expect_dependency libgif7
if [ "$with_window" = yes ]; then
  expect_dependency libqt6widgets6
  expect_field Recommends xdg-utils
fi

# Debian's own checks, where they are installed: no errors, no warnings.
if command -v lintian >/dev/null; then
  lintian --fail-on error,warning --tag-display-limit 0 "$deb" >"$scratch/lintian.log" 2>&1 ||
    { cat "$scratch/lintian.log" >&2; echo "FAIL: lintian finds errors or warnings" >&2; failures=$((failures + 1)); }
fi

dpkg-deb -x "$deb" "$scratch/root"
"$here/check_installed_tree.sh" "$scratch/root$prefix" "$with_window" || failures=$((failures + 1))

[ "$failures" -eq 0 ] || exit 1
echo "$(basename "$deb") is complete"
