#!/usr/bin/env bash
# Capture-reading benchmark: `k740-convert info` on a large generated capture, next to
# tcpdump filtering the same file for 1248-byte records and a plain `cat`, in the same run;
# then the viewer's Open of the same file (the player's open, which builds the frame catalog,
# timed inside bench_playback). Prints wall time, CPU time and peak memory of each (from
# /usr/bin/time -v), and each program's best time against cat's.
#
# usage: bench/run_info_bench.sh [BUILD_DIR] [SIZE_MB] [ROUNDS] [OTHER_BUILD_DIR]
#   BUILD_DIR  build directory holding bin/k740-convert and bin/bench_make_capture (default: build)
#   SIZE_MB    size of the generated capture (default 512)
#   ROUNDS     timed rounds per program; the best and the median are shown (default 3)
#   OTHER_BUILD_DIR  another build (an earlier version, say) measured beside it in the same run
# The capture is written to ${K740_BENCH_DIR:-/tmp}/k740-bench-SIZE.pcap and reused.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
size=${2:-512}
rounds=${3:-3}
other=${4:-}
convert=$build/bin/k740-convert
maker=$build/bin/bench_make_capture
file=${K740_BENCH_DIR:-/tmp}/k740-bench-${size}mb.pcap

for exe in "$convert" "$maker"; do
  [[ -x $exe ]] || { echo "missing $exe (build the targets k740-convert and bench_make_capture)" >&2; exit 1; }
done
[[ -x /usr/bin/time ]] || { echo "missing /usr/bin/time (package 'time')" >&2; exit 1; }
tcpdump=$(command -v tcpdump || true)
[[ -n $tcpdump ]] || for t in /usr/sbin/tcpdump /usr/bin/tcpdump; do [[ -x $t ]] && tcpdump=$t; done
[[ -n $tcpdump ]] || { echo "missing tcpdump" >&2; exit 1; }

expected=$file.counts
if [[ ! -s $file || ! -s $expected ]]; then
  echo "generating $file ($size MB)..."
  "$maker" "$file" "$size" > "$expected"
fi
want_packets=$(sed -n 's/^packets: //p' "$expected")
want_frames=$(sed -n 's/^frames: //p' "$expected")
echo "capture: $file, $(stat -c %s "$file") bytes, $(sed -n 's/^records: //p' "$expected") records," \
     "$want_packets sensor packets, $want_frames frames"

# Correctness first: info must find what the generator wrote.
got=$("$convert" info "$file")
if [[ $got != "packets: $want_packets"$'\n'"frames: $want_frames" ]]; then
  echo "k740-convert info disagrees with the generator:" >&2
  echo "$got" >&2
  exit 1
fi

# Warm the page cache so every program reads from memory, as the later rounds would anyway.
cat "$file" > /dev/null

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Runs one program under /usr/bin/time -v; appends "wall user sys maxrss_kb" to $tmp/$name.
# The wall time is taken with nanosecond clock readings (time -v rounds to 10 ms).
measure() {
  local name=$1; shift
  local t0 t1
  t0=$(date +%s%N)
  /usr/bin/time -v -o "$tmp/time.txt" "$@" > /dev/null 2> "$tmp/stderr.txt" || {
    echo "$name failed:" >&2; cat "$tmp/stderr.txt" >&2; exit 1; }
  t1=$(date +%s%N)
  awk -F': ' -v wall="$(( (t1 - t0) / 1000 ))" '
    /User time/ { u = $2 } /System time/ { s = $2 } /Maximum resident set size/ { m = $2 }
    END { printf "%.4f %.2f %.2f %d\n", wall / 1e6, u, s, m }' "$tmp/time.txt" >> "$tmp/$name"
}

# The viewer's Open: bench_playback opens the file as the playback room does and prints the
# time the open took ("open_s"); appended as "seconds" to $tmp/$name.
measure_open() {
  local name=$1 exe=$2
  "$exe" "$file" --frames 1 --pause 0 2> /dev/null | awk '/^open_s/ { print $2 }' >> "$tmp/$name"
}

names=(k740-convert-info tcpdump-len1248 cat)
[[ -n $other ]] && names+=(other-info)
for ((r = 1; r <= rounds; r++)); do
  # Alternate the order so that no program always follows the same one.
  order=("${!names[@]}")
  if (( r % 2 == 0 )); then order=($(printf '%s\n' "${order[@]}" | sort -rn)); fi
  for i in "${order[@]}"; do
    case ${names[$i]} in
      k740-convert-info) measure k740-convert-info "$convert" info "$file" ;;
      tcpdump-len1248) measure tcpdump-len1248 "$tcpdump" -r "$file" -w /dev/null 'len = 1248' ;;
      cat) measure cat sh -c 'cat "$1" > /dev/null' sh "$file" ;;
      other-info) measure other-info "$other/bin/k740-convert" info "$file" ;;
    esac
  done
  [[ -x $build/bin/bench_playback ]] && measure_open viewer-open "$build/bin/bench_playback"
  [[ -n $other && -x $other/bin/bench_playback ]] && measure_open other-viewer-open "$other/bin/bench_playback"
done

bytes=$(stat -c %s "$file")
cat_best=$(sort -n "$tmp/cat" | head -1 | cut -d' ' -f1)
printf '\n%-20s %10s %10s %10s %10s %12s %12s %8s\n' program "best s" "median s" "user s" "sys s" "MB/s best" "peak RSS MB" "x cat"
for name in "${names[@]}" viewer-open other-viewer-open; do
  [[ -s $tmp/$name ]] || continue
  sort -n -k1,1 "$tmp/$name" | awk -v name="$name" -v bytes="$bytes" -v cat="$cat_best" '
    { w[NR] = $1; u[NR] = $2; s[NR] = $3; if ($4 > m) m = $4; full = (NF > 1) }
    END {
      med = w[int((NR + 1) / 2)]
      us = "-"; ss = "-"; rss = "-"
      if (full) { us = sprintf("%.2f", u[1]); ss = sprintf("%.2f", s[1]); rss = sprintf("%.1f", m / 1024) }
      printf "%-20s %10.4f %10.4f %10s %10s %12.0f %12s %8.2f\n", name, w[1], med, us, ss,
             bytes / 1048576 / (w[1] > 0 ? w[1] : 1e-9), rss, w[1] / cat
    }'
done
echo "(viewer-open: the player's open alone, timed inside bench_playback)"
