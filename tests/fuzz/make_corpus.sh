#!/usr/bin/env bash
# Writes the seed corpora of the fuzz targets from the golden run inputs:
#   bash tests/fuzz/make_corpus.sh [ACCEPTANCE_DIR]
# ACCEPTANCE_DIR: by default acceptance in $RESECTION_SHARED_DIR, or else in
# the folder shared beside the checkout; the golden runs alone where missing.
# record_reader: a read script of the planimetric and zenith sections, then
#   the file (see record_reader_fuzz.cpp);
# whole_run: console answers, a NUL byte, then the file (whole_run_fuzz.cpp).
# analysis_run: the file alone (analysis_run_fuzz.cpp); the hand-made seeds
#   with numbers at the limits (limit-*) stay beside them.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
acceptance="${1:-${RESECTION_SHARED_DIR:-$here/../../../shared}/acceptance}"
rr="$here/corpus/record_reader"
wr="$here/corpus/whole_run"
ar="$here/corpus/analysis_run"
mkdir -p "$rr" "$wr" "$ar"

# Script bytes: (argument << 3) | operation.
#   0 beginRecord, 1 endRecord, 2 readText(arg), 3 readInteger, 4 readReal,
#   5 stepBackLines(arg - 2), 6 readLineText(3 arg), 7 a whole point record.
script='\x00\x12\x04\x04\x00\x62\x00\x03\x07\x07\x07\x07\x01\x35\xc6\xc6\xc6\xc6\x00\x03\x04\x07\x07'

n=0
for input in "$acceptance"/*/run/* "$here"/../golden/*/run/*; do
  [ -f "$input" ] || continue
  case_dir="$(dirname "$(dirname "$input")")"
  name="$(basename "$case_dir")-$(basename "$input")"
  height="$(sed -n 3p "$case_dir/stdin" 2>/dev/null || true)"
  { printf '\x17'; printf "$script"; cat "$input"; } > "$rr/$name"
  { printf 'in\nout\n%s\n\0' "$height"; cat "$input"; } > "$wr/$name"
  # The same file with blank answers, so the arguments serve as names.
  { printf '\n\nS\n\0'; cat "$input"; } > "$wr/$name-args"
  cp "$input" "$ar/$name"
  n=$((n + 1))
done
echo "seeds from $n inputs"
