#!/usr/bin/env bash
# Asserts that no folder reachable through any drive of the test prefix leads outside the build
# folder: every drive letter and every linked folder under a drive resolves inside it (Wine links
# the user folders to the host's home unless the prefix replaces them with real folders).
# Usage: check-prefix.sh PREFIX BUILD_FOLDER
set -u
prefix=$(cd "$1" && pwd -P); build=$(cd "$2" && pwd -P)
failed=0
inside() { case "$1/" in "$build"/*) return 0 ;; *) return 1 ;; esac; }
for drive in "$prefix"/dosdevices/?:; do
  [ -e "$drive" ] || continue
  target=$(readlink -f "$drive")
  if ! inside "$target"; then echo "drive ${drive##*/} leads to $target"; failed=1; continue; fi
  while IFS= read -r -d '' link; do
    resolved=$(readlink -f "$link")
    [ -d "$resolved" ] || continue     # serial ports and other devices are not folders
    if ! inside "$resolved"; then echo "${drive##*/} ${link#"$target"} leads to $resolved"; failed=1; fi
  done < <(find "$target" -type l -print0 2>/dev/null)
done
[ $failed = 0 ] && echo "every drive of $prefix stays inside $build"
exit $failed
