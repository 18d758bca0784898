#!/usr/bin/env bash
# `cmake --install` of the build into a scratch prefix, then the tree checks.
#   install_test.sh BUILD_DIR WITH_WINDOW(yes|no)
set -euo pipefail

build=$1
with_window=$2
here=$(dirname "$0")

scratch=$(mktemp -d "$PWD/install.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
"$here/check_installed_tree.sh" "$scratch/prefix" "$with_window"
