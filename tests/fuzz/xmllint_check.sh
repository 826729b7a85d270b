#!/bin/sh
# Every seed and corpus file that orvanctl loads is saved again, and xmllint
# must accept what was saved: nothing the program writes may be refused by a
# conforming parser.
set -u
orvanctl=$1
xmllint=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
status=0
count=0
for dir in "$@"; do
  for file in "$dir"/*; do
    [ -f "$file" ] || continue
    out="$work/saved.xml"
    rm -f "$out"
    if "$orvanctl" save-as "$file" "$out" 2>/dev/null; then
      count=$((count + 1))
      if ! "$xmllint" --noout "$out"; then
        echo "xmllint refuses what orvanctl saved from $file"
        status=1
      fi
    fi
  done
done
echo "$count saved files read by xmllint"
[ "$count" -gt 0 ] || status=1
exit $status
