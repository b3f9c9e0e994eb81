#!/usr/bin/env bash
# Export benchmark: `k740-convert csv` and `k740-convert pcd` on a large generated capture,
# next to `k740-convert info` on the same file in the same run (best of ROUNDS, warm cache);
# then the text rate of `csv` and `dump` written to /dev/null, so that the disk does not
# count, for this build and (given) another one measured in the same run.
# The capture and every output are deleted at the end.
#
# usage: bench/run_export_bench.sh [BUILD_DIR] [SIZE_MB] [ROUNDS] [OTHER_BUILD_DIR]
#   BUILD_DIR  holds bin/k740-convert and bin/bench_make_capture (default: build)
#   SIZE_MB    size of the generated capture (default 512)
#   ROUNDS     timed rounds per command (default 1)
#   OTHER_BUILD_DIR  another build (an earlier version, say) whose csv and dump rates are
#              measured beside this one
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
size=${2:-512}
rounds=${3:-1}
other=${4:-}
convert=$build/bin/k740-convert
maker=$build/bin/bench_make_capture
for exe in "$convert" "$maker"; do
  [[ -x $exe ]] || { echo "missing $exe (build k740-convert and bench_make_capture)" >&2; exit 1; }
done

work=$(mktemp -d "${K740_BENCH_DIR:-/tmp}/k740-export-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
file=$work/capture.pcap
echo "generating $size MB capture..."
"$maker" "$file" "$size" > "$work/counts"
cat "$work/counts"
cat "$file" > /dev/null

best() {  # best wall seconds of $rounds runs of "$@"
  local b="" t0 t1 s
  for ((r = 0; r < rounds; r++)); do
    t0=$(date +%s%N); "$@" > /dev/null; t1=$(date +%s%N)
    s=$(awk -v n=$((t1 - t0)) 'BEGIN { printf "%.3f", n / 1e9 }')
    if [[ -z $b ]] || awk -v a="$s" -v b="$b" 'BEGIN { exit !(a < b) }'; then b=$s; fi
  done
  echo "$b"
}

mkdir -p "$work/pcd" "$work/ply"
t_info=$(best "$convert" info "$file")
t_csv=$(best "$convert" csv "$file" "$work/out.csv")
csv_mb=$(( $(stat -c %s "$work/out.csv") / 1048576 ))
rm -f "$work/out.csv"
t_csv2=$(best "$convert" csv "$file" "$work/out.csv" --view-mode 2 --angle-min 90 --angle-max 180)
rm -f "$work/out.csv"
t_pcd=$(best "$convert" pcd "$file" "$work/pcd")
pcd_files=$(find "$work/pcd" -type f | wc -l)
pcd_mb=$(( $(du -sm "$work/pcd" | cut -f1) ))
rm -rf "$work/pcd"
t_ply=$(best "$convert" pcd "$file" "$work/ply" --ply --view-mode 2)
rm -rf "$work/ply"

printf '\n%-44s %10s\n' command "best s"
printf '%-44s %10s\n' "info" "$t_info"
printf '%-44s %10s   (%s MB of CSV)\n' "csv (all, view mode 1)" "$t_csv" "$csv_mb"
printf '%-44s %10s\n' "csv (90..180 deg, view mode 2)" "$t_csv2"
printf '%-44s %10s   (%s files, %s MB)\n' "pcd (binary PCD, view mode 1)" "$t_pcd" "$pcd_files" "$pcd_mb"
printf '%-44s %10s\n' "pcd --ply (view mode 2)" "$t_ply"

# Text rates to /dev/null: the output's size once, then the best time of each build.
csv_bytes=$("$convert" csv "$file" /dev/stdout | wc -c)
dump_bytes=$("$convert" dump "$file" | wc -c)
printf '\n%-44s %10s %10s\n' "to /dev/null" "best s" "MB/s"
for b in "$build" ${other:+"$other"}; do
  label=this; [[ $b == "$other" ]] && label=other
  t=$(best "$b/bin/k740-convert" csv "$file" /dev/null)
  printf '%-44s %10s %10.0f\n' "csv ($label build, $((csv_bytes / 1048576)) MB of text)" "$t" \
    "$(awk -v b="$csv_bytes" -v t="$t" 'BEGIN { print b / 1048576 / t }')"
  t=$(best "$b/bin/k740-convert" dump "$file")
  printf '%-44s %10s %10.0f\n' "dump ($label build, $((dump_bytes / 1048576)) MB of text)" "$t" \
    "$(awk -v b="$dump_bytes" -v t="$t" 'BEGIN { print b / 1048576 / t }')"
done
