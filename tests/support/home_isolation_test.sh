#!/usr/bin/env bash
# Runs the widget suites as `make test` does, for a user whose home and
# configuration folders are the given empty folder, and checks that the
# folder is still empty afterwards: no settings read, none written.
set -euo pipefail
build=$1
given=$(mktemp -d)
log=$(mktemp)
trap 'rm -rf "$given" "$log"' EXIT
if ! HOME=$given XDG_CONFIG_HOME=$given/.config XDG_CACHE_HOME=$given/.cache XDG_DATA_HOME=$given/.local/share \
    ctest --test-dir "$build" -R '^(platform|app|about)_tests$' >"$log" 2>&1; then
  cat "$log"
  echo "the widget suites failed"
  exit 1
fi
leftovers=$(find "$given" -mindepth 1)
if [ -n "$leftovers" ]; then
  echo "the widget suites wrote into the home folder of whoever ran them:"
  echo "$leftovers"
  exit 1
fi
