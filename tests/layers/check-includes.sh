#!/usr/bin/env bash
# Each subsystem includes only its own headers and those of the subsystems
# below it: app on view, track, map and gui; view on track and map; the
# message lookup (i18n) under all but the toolkit. Nothing includes upwards.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
declare -A below=(
  [i18n]=""
  [gui]=""
  [track]="i18n"
  [map]="i18n"
  [view]="track map i18n"
  [app]="view track map gui i18n"
)
status=0
for dir in "${!below[@]}"; do
  while IFS= read -r hit; do
    included=${hit#*#include \"}
    top=${included%%/*}
    if [[ " $dir ${below[$dir]} " != *" $top "* ]]; then
      echo "${hit%%:#include*} includes $top/ from $dir/"
      status=1
    fi
  done < <(cd "$root" && grep -Hn '^#include "[a-z0-9]*/' "$dir"/*.h "$dir"/*.cpp 2>/dev/null || true)
done
exit $status
