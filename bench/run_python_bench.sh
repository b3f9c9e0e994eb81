#!/usr/bin/env bash
# Python reading benchmark: every frame of a large generated capture read into arrays from
# Python (bench/read_all_frames.py: k740.open, every frame, its xyz; interpreter start
# included; and once more without the coordinates), next to `k740-convert info` on the same file and to the bare interpreter with
# k740 and NumPy imported, in the same run. Prints wall time, CPU time and peak memory of each,
# the Python reading time as a multiple of info's, and its peak memory above the bare
# interpreter's. Figures only: nothing here passes or fails.
#
# usage: bench/run_python_bench.sh [BUILD_DIR] [SIZE_MB] [ROUNDS]
#   BUILD_DIR  build directory with bin/k740-convert, bin/bench_make_capture and python/k740*.so
#              (default: build)
#   SIZE_MB    size of the generated capture (default 512)
#   ROUNDS     timed rounds per program; the best and the median are shown (default 3)
# The capture is written to ${K740_BENCH_DIR:-/tmp}/k740-bench-SIZEmb.pcap and reused.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$here/build}")
size=${2:-512}
rounds=${3:-3}
convert=$build/bin/k740-convert
maker=$build/bin/bench_make_capture
python=/usr/bin/python3
file=${K740_BENCH_DIR:-/tmp}/k740-bench-${size}mb.pcap

for exe in "$convert" "$maker" "$python"; do
  [[ -x $exe ]] || { echo "missing $exe (build the targets k740-convert, bench_make_capture and k740_python)" >&2; exit 1; }
done
compgen -G "$build/python/k740/_k740*.so" > /dev/null || { echo "missing $build/python/k740/_k740*.so (target k740_python)" >&2; exit 1; }
[[ -x /usr/bin/time ]] || { echo "missing /usr/bin/time (package 'time')" >&2; exit 1; }
export PYTHONPATH=$build/python

if [[ ! -s $file || ! -s $file.counts ]]; then
  echo "generating $file ($size MB)..."
  "$maker" "$file" "$size" > "$file.counts"
fi
want_frames=$(sed -n 's/^frames: //p' "$file.counts")
echo "capture: $file, $(stat -c %s "$file") bytes, $(sed -n 's/^packets: //p' "$file.counts") sensor packets, $want_frames frames"

# The Python side must see the frames the generator counted.
got=$("$python" "$here/bench/read_all_frames.py" "$file")
[[ $(sed -n 's/^frames: //p' <<< "$got") == "$want_frames" ]] || {
  echo "read_all_frames.py disagrees with the generator: $got" >&2; exit 1; }
echo "python: $(tr '\n' ' ' <<< "$got")"

cat "$file" > /dev/null  # warm the page cache, as later rounds would anyway

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Runs one program under /usr/bin/time -v; appends "wall user sys maxrss_kb" to $tmp/$name.
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

names=(k740-convert-info python-read-all python-no-xyz python-bare)
for ((r = 1; r <= rounds; r++)); do
  if (( r % 2 )); then order=(0 1 2 3); else order=(3 2 1 0); fi
  for i in "${order[@]}"; do
    case ${names[$i]} in
      k740-convert-info) measure k740-convert-info "$convert" info "$file" ;;
      python-read-all) measure python-read-all "$python" "$here/bench/read_all_frames.py" "$file" ;;
      python-no-xyz) measure python-no-xyz "$python" "$here/bench/read_all_frames.py" "$file" --no-xyz ;;
      python-bare) measure python-bare "$python" -c "import k740, numpy" ;;
    esac
  done
done

printf '\n%-20s %10s %10s %10s %10s %12s\n' program "best s" "median s" "user s" "sys s" "peak RSS MB"
for name in "${names[@]}"; do
  sort -n -k1,1 "$tmp/$name" | awk -v name="$name" '
    { w[NR] = $1; u[NR] = $2; s[NR] = $3; if ($4 > m) m = $4 }
    END { printf "%-20s %10.4f %10.4f %10.2f %10.2f %12.1f\n", name, w[1], w[int((NR + 1) / 2)], u[1], s[1], m / 1024 }'
done
best() { sort -n -k1,1 "$tmp/$1" | head -1 | cut -d' ' -f1; }
peak() { sort -n -k4,4 "$tmp/$1" | tail -1 | cut -d' ' -f4; }
awk -v p="$(best python-read-all)" -v n="$(best python-no-xyz)" -v i="$(best k740-convert-info)" -v pm="$(peak python-read-all)" \
    -v bm="$(peak python-bare)" 'BEGIN {
  printf "\nPython reading every frame (xyz touched): %.1fx k740-convert info (best of each; goal 6x)\n", p / i
  printf "(decoded arrays only, no xyz: %.1fx)\n", n / i
  printf "Peak memory above the bare interpreter with k740 and NumPy: %.1f MB (goal under 64 MB)\n", (pm - bm) / 1024
}'
