#!/bin/sh
# Fails if the shared library exports any name outside the export list; reports how many of the
# listed names it defines, by family.
set -eu
lib=$1
list=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

grep -v '^#' "$list" | awk 'NF == 2 {print $2, $1}' | sort > "$tmp/listed"
awk '{print $1}' "$tmp/listed" > "$tmp/names"
nm -D --defined-only "$lib" | awk '$2 ~ /^[A-Za-z]$/ && $2 != "U" {print $3}' | sed 's/@.*//' |
  sort -u > "$tmp/exported"

extra=$(comm -23 "$tmp/exported" "$tmp/names")
present=$(comm -12 "$tmp/exported" "$tmp/names" | wc -l)
total=$(wc -l < "$tmp/names")
echo "exports: $present of $total names present"
join "$tmp/exported" "$tmp/listed" | awk '{n[$2]++} END {for (f in n) printf "  %-12s %d\n", f, n[f]}' | sort
if [ -n "$extra" ]; then
  echo "exported but not in the list:"
  echo "$extra" | sed 's/^/  /'
  exit 1
fi
