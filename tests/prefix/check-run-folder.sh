#!/usr/bin/env bash
# Asserts that drive D: of the program's own prefix (the folder scripts/run gives it) holds the
# program and nothing else of the build folder: no prefix, no test file.
# Usage: check-run-folder.sh SOURCE_FOLDER
set -u
. "$1/scripts/run-folder.sh"
build=$(mktemp -d); trap 'rm -rf "$build"' EXIT
mkdir -p "$build/run-prefix/drive_c/windows" "$build/wineprefix/drive_c/users" "$build/tests"
echo program >"$build/Zelvoran.exe"; echo test >"$build/tests/a_tests.exe"
folder=$(run_folder "$build")
held=$(cd "$folder" && find . -mindepth 1 | sort | tr '\n' ' ')
if [ "$held" != "./Zelvoran.exe " ]; then echo "drive D: holds: $held"; exit 1; fi
echo newer >"$build/Zelvoran.exe"; touch -d '+1 minute' "$build/Zelvoran.exe"
run_folder "$build" >/dev/null
[ "$(cat "$folder/Zelvoran.exe")" = newer ] || { echo "the newer program was not copied"; exit 1; }
echo "drive D: holds the program alone"
