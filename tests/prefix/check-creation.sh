#!/usr/bin/env bash
# Makes a throwaway prefix with the project's scripts and watches it while Wine creates it: at no
# moment may a drive or a user folder of it lead outside the build folder (Wine links z: to the
# host's root and the user folders to the home folder unless the scripts keep it from doing so).
# Usage: check-creation.sh SOURCE_FOLDER BUILD_FOLDER
set -u
source_folder=$1; build=$(cd "$2" && pwd -P)
work="$build/prefix-creation-check"
prefix="$work/prefix"
rm -rf "$work"; mkdir -p "$work/d"
seen="$work/seen.txt"; : >"$seen"

watch() {
  while [ ! -f "$work/done" ]; do
    for link in "$prefix"/dosdevices/* "$prefix"/drive_c/users/*/* "$prefix"/drive_c/users/*/*/*; do
      [ -L "$link" ] || continue
      resolved=$(readlink -f "$link") || continue
      [ -d "$resolved" ] || continue            # serial ports and other devices are not folders
      case "$resolved/" in "$build"/*) ;; *) echo "${link#"$prefix/"} -> $resolved" >>"$seen" ;; esac
    done
    sleep 0.02
  done
}
watch &
watcher=$!
"$source_folder/scripts/wineprefix" "$prefix" "$work/d" >"$work/create.log" 2>&1
created=$?
touch "$work/done"; wait $watcher
( export WINEPREFIX="$prefix"; . "$source_folder/scripts/wine-env.sh"; wineserver -k 2>/dev/null || true )

failed=0
[ $created = 0 ] || { echo "the prefix could not be made:"; cat "$work/create.log"; failed=1; }
if [ -s "$seen" ]; then echo "while the prefix was made, these led outside $build:"; sort -u "$seen"; failed=1; fi
[ $failed = 0 ] && { echo "no link of $prefix led outside $build while it was made"; rm -rf "$work"; }
exit $failed
