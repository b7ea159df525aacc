#!/usr/bin/env bash
# Runs the program binary on case folders and reports where console, files
# or status differ from expected/. Usage: compare_program.sh BINARY DIR...
set -u
bin=$(realpath "$1"); shift
for d in "$@"; do
  [ -d "$d/expected" ] || continue
  d=$(realpath "$d"); name=$(basename "$d"); w=$(mktemp -d)
  cp -r "$d/run/." "$w/"
  mapfile -t args < "$d/args"
  (cd "$w" && timeout 20 "$bin" "${args[@]}" < "$d/stdin" > "$w/.console" 2> "$w/.stderr")
  rc=$?; es=0; [ -f "$d/expected/status" ] && es=$(cat "$d/expected/status")
  bad=""
  [ "$rc" = "$es" ] || bad="$bad status $rc (expected $es);"
  cmp -s "$w/.console" "$d/expected/console" || bad="$bad console;"
  for f in "$d"/expected/*; do
    b=$(basename "$f"); [ "$b" = console ] || [ "$b" = status ] && continue
    cmp -s "$f" "$w/$b" || bad="$bad $b: $(cmp "$f" "$w/$b" 2>&1 | head -n 1);"
  done
  if [ -n "$bad" ]; then echo "DIFF $name:$bad"; cp -r "$w" "/tmp/prog-out-$name"; else echo "same $name"; fi
  rm -rf "$w"
done
