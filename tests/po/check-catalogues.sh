#!/usr/bin/env bash
# Every translatable text in the sources has a translation in its shipped
# catalogue (po/<domain>/<lang>.po), no catalogue keeps texts the sources no
# longer use, and the templates po/<domain>/<domain>.pot are current.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
bash "$root/scripts/extract-messages.sh" "$tmp"

status=0
for po in "$root"/po/*/*.po; do
  domain=$(basename "$(dirname "$po")")
  fresh=$tmp/$domain/$domain.pot
  if ! cmp -s "$fresh" "$root/po/$domain/$domain.pot"; then
    echo "po/$domain/$domain.pot is out of date: run make pot"
    status=1
  fi
  # msgcmp names every text without a (non-fuzzy) translation, and warns about unused ones.
  report=$(LC_ALL=C.UTF-8 msgcmp "$po" "$fresh" 2>&1 || true)
  if [ -n "$report" ]; then
    echo "$report"
    status=1
  fi
done
exit $status
