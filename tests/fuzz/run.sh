#!/usr/bin/env bash
# Runs every fuzz target for a bounded time on a copy of its seed corpus:
#   bash tests/fuzz/run.sh BUILD_DIR SECONDS
# Exits non-zero when any target reports a crash, leak, timeout, memory
# excess or sanitizer finding. New corpus entries stay in the temporary
# folder; the findings are kept under BUILD_DIR/fuzz-findings/.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:?usage: run.sh BUILD_DIR SECONDS}"
seconds="${2:-60}"
build="$(cd "$build" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
findings="$build/fuzz-findings"
mkdir -p "$findings"

# target:max_len. A whole run's inputs are files of a few dozen records; the
# length also bounds the zenith section, whose search costs passes times n.
targets="record_reader_fuzz:8192 whole_run_fuzz:2048 analysis_run_fuzz:2048 station_input_fuzz:4096"
failed=0
for entry in $targets; do
  target="${entry%%:*}"
  max_len="${entry##*:}"
  binary="$build/tests/fuzz/$target"
  seeds="$here/corpus/${target%_fuzz}"
  if [ ! -x "$binary" ]; then
    echo "run.sh: $binary not built" >&2
    failed=1
    continue
  fi
  corpus="$work/$target"
  mkdir -p "$corpus"
  [ -d "$seeds" ] && cp "$seeds"/* "$corpus"/
  echo "== $target for ${seconds}s"
  "$binary" "$corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len="$max_len" -print_final_stats=1 -artifact_prefix="$findings/$target-" \
    >"$work/$target.log" 2>&1
  status=$?
  grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::peak_rss_mb)' "$work/$target.log" || true
  if [ $status -ne 0 ] || grep -qE 'ERROR: (libFuzzer|AddressSanitizer|LeakSanitizer)|runtime error:' "$work/$target.log"; then
    echo "== $target FAILED (status $status); log:" >&2
    tail -n 60 "$work/$target.log" >&2
    ls "$findings" >&2
    failed=1
  fi
done
exit $failed
