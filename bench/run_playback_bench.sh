#!/usr/bin/env bash
# Capture playback benchmark: generates a capture of SIZE_MB, times `cat FILE > /dev/null`
# and the player's open + analysis of the same file in the same run, then plays it and
# prints peak resident and private memory while playing. The capture is deleted afterwards.
#
# usage: bench/run_playback_bench.sh [BUILD_DIR] [SIZE_MB] [PAUSE_MS]
#   BUILD_DIR  holds bin/bench_make_capture and bin/bench_playback (default: build)
#   SIZE_MB    size of the generated capture (default 1024)
#   PAUSE_MS   pause after each played frame (default 2; the player's normal speed is 110)
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
size=${2:-1024}
pause=${3:-2}
maker=$build/bin/bench_make_capture
player=$build/bin/bench_playback
for exe in "$maker" "$player"; do
  [[ -x $exe ]] || { echo "missing $exe (build bench_make_capture and bench_playback)" >&2; exit 1; }
done
file=$(mktemp "${K740_BENCH_DIR:-/tmp}/k740-playback-XXXXXX.pcap")
trap 'rm -f "$file"' EXIT

echo "generating $size MB capture..."
"$maker" "$file" "$size"
echo "file: $(stat -c %s "$file") bytes"

seconds() { local t0 t1; t0=$(date +%s%N); "$@"; t1=$(date +%s%N); echo "scale=3; ($t1 - $t0) / 1000000000" | bc; }
# Two rounds each, alternating, both from the page cache (the file was just written).
for round in 1 2; do
  echo "round $round: cat $(seconds sh -c 'cat "$1" > /dev/null' sh "$file") s"
  /usr/bin/time -f "round $round: bench_playback wall %e s, max RSS %M kB" "$player" "$file" --pause "$pause" \
    ${K740_BENCH_FRAMES:+--frames $K740_BENCH_FRAMES}
done
