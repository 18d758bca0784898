#!/usr/bin/env bash
# Every place that shows or ships the version must carry the project's one
# version: the converter's --version, the header the About box and the Windows
# resources read, the manual page, the AppStream release and the package.
#   version_test.sh VERSION CLI SOURCE_DIR BUILD_DIR
set -euo pipefail

version=$1
cli=$2
source=$3
build=$4
IFS=. read -r major minor patch tweak <<<"$version"
commas="$major, *$minor, *$patch, *$tweak"
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

expect_line() {
  local file=$1 pattern=$2 what=$3
  if [ ! -f "$file" ]; then
    fail "$file is missing"
  elif ! grep -qE -- "$pattern" "$file"; then
    fail "$what in $file does not carry $version"
  fi
}

[ "$("$cli" --version)" = "tessaglyph-cli $version" ] || fail "tessaglyph-cli --version says '$("$cli" --version)'"

header=$build/res/generated/tessaglyph_version.h
if [ -d "$build/res" ]; then
  expect_line "$header" "TESSAGLYPH_VERSION_TEXT \"$version\"" "the version text"
  expect_line "$header" "TESSAGLYPH_VERSION_COMMAS \"$commas\"" "the comma version"
  for part in MAJOR:$major MINOR:$minor PATCH:$patch TWEAK:$tweak; do
    expect_line "$header" "TESSAGLYPH_VERSION_${part%%:*} ${part#*:}\$" "the ${part%%:*} number"
  done
fi

# A resource script either takes its numbers from the generated header or was
# itself generated with them; a version typed into it by hand goes stale.
while IFS= read -r -d '' script; do
  while IFS= read -r line; do
    [[ $line == *TESSAGLYPH_VERSION* ]] || [[ $line =~ $commas|\"$version ]] ||
      fail "$script: '$line' does not carry $version"
  done < <(grep -E 'FILEVERSION|PRODUCTVERSION|"(File|Product)Version"' "$script" || true)
done < <(find "$source/res" "$build" -name '*.rc' -print0 2>/dev/null)

# The About box builds its text from the header; a typed version in the
# window's sources would not follow a version change.
typed=$(grep -rnE "Version $major\.[0-9]|\"$version\"" "$source/about" "$source/app" "$source/res" \
  --include='*.cpp' --include='*.h' 2>/dev/null || true)
[ -z "$typed" ] || fail "the window's sources type the version instead of reading the header: $typed"

expect_line "$build/packaging/tessaglyph-cli.1" "^\\.TH .*\"Tessaglyph $version\"" "the manual page's title line"
metainfo=("$build"/packaging/*.metainfo.xml)
if [ -f "${metainfo[0]}" ]; then
  expect_line "${metainfo[0]}" "<release version=\"$version\"" "the release"
fi
expect_line "$build/CPackConfig.cmake" "^set\\(CPACK_PACKAGE_VERSION \"$version\"\\)" "the package version"

[ "$failures" -eq 0 ] || exit 1
echo "every version reads $version"
