#!/usr/bin/env bash
# Soak and load runs (figures, never pass/fail), all on loopback:
#  1. live display: bench_gui --soak: the simulated sensor at 1200 rpm into the viewer's live
#     display for DISPLAY_S seconds, resident memory now and then, frames drawn and dropped
#     (under Xvfb);
#  2. listen load: k740-sim at SPEED times the sensor's packet rate into
#     `k740-convert listen` for LOAD_S seconds, datagrams sent against received, and how
#     many points the frames hold (a revolution is a whole number of blocks, so neighbouring
#     counts alternate; a malformed frame stands apart);
#  3. idle live display: the viewer with its live display on and nothing arriving, for
#     IDLE_S seconds: CPU time used.
#
# usage: bench/run_soak.sh [BUILD_DIR] [DISPLAY_S] [LOAD_S] [IDLE_S] [SPEED]
#   defaults: build 3600 120 60 10 (the full soak); short runs e.g. `... build 120 30 20`.
#   A duration of 0 skips that run.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
display_s=${2:-3600}
load_s=${3:-120}
idle_s=${4:-60}
speed=${5:-10}
bin=$build/bin
for exe in bench_gui k740-sim k740-convert rv-k740-p; do
  [[ -x $bin/$exe ]] || { echo "missing $bin/$exe (build it first)" >&2; exit 1; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/k740-soak-XXXXXX")
pids=()
cleanup() { for p in "${pids[@]}"; do kill -- "$p" 2>/dev/null || true; done; rm -rf "$work"; }
trap cleanup EXIT
xvfb=(xvfb-run -a -s "-screen 0 1600x1000x24")

if [[ $display_s -gt 0 ]]; then
echo "== 1. live display at 1200 rpm for $display_s s =="
"${xvfb[@]}" "$bin/bench_gui" --soak "$display_s" | grep -iE "soak|resident|drawn|dropped" || true
fi

if [[ $load_s -gt 0 ]]; then
echo "== 2. k740-sim at ${speed}x the packet rate into k740-convert listen for $load_s s =="
port=$((20000 + RANDOM % 20000))
"$bin/k740-convert" listen --port "$port" >"$work/frames.txt" 2>"$work/listen.err" &
listen_pid=$!
pids+=("$listen_pid")
for _ in $(seq 50); do grep -q "listening on port" "$work/listen.err" && break; sleep 0.1; done
"$bin/k740-sim" --data-port "$port" --no-device-info --no-config --speed "$speed" \
  --duration "$load_s" >"$work/sim.out"
sleep 1  # the last datagrams drain from the socket buffer
kill -INT "$listen_pid"
wait "$listen_pid" || true
sent=$(sed -n 's/.*sent \([0-9]*\) data packets.*/\1/p' "$work/sim.out")
received=$(sed -n 's/.* \([0-9]*\) datagrams received.*/\1/p' "$work/listen.err")
frames=$(grep -c '^frame ' "$work/frames.txt" || true)
counts=$(sed -n 's/^frame [0-9]*: \([0-9]*\) points.*/\1/p' "$work/frames.txt" | sort -n | uniq -c |
  awk '{printf "%s%d x %d points", (NR > 1 ? ", " : ""), $1, $2}')
echo "sent $sent data packets, received ${received:-?} datagrams" \
  "($(awk -v r="${received:-0}" -v s="$sent" 'BEGIN { if (s > 0) printf "%.3f", 100 * r / s; else print "?" }') %)"
echo "frames $frames: $counts"
grep -v "listening on port" "$work/listen.err" || true

fi

if [[ $idle_s -gt 0 ]]; then
# `--live` joins the form's group on the default interface: only inside a private network
# namespace whose one interface is the loopback, with the multicast routes on it.
echo "== 3. idle live display for $idle_s s (private network namespace, loopback only) =="
ns=(unshare -n)
[[ $(id -u) -eq 0 ]] || ns=(unshare -r -n)
setsid "${ns[@]}" bash -c 'ip link set lo up && ip link set lo multicast on &&
    ip route add 224.0.0.0/4 dev lo && exec "$@"' _ \
  "${xvfb[@]}" "$bin/rv-k740-p" --live --no-settings >"$work/idle.log" 2>&1 &
pids+=("-$!")  # the whole group: the namespace, xvfb-run, Xvfb and the viewer
vpid=""
for _ in $(seq 100); do
  vpid=$(pgrep -n -f "^$bin/rv-k740-p --live --no-settings" || true)
  [[ -n $vpid ]] && grep -q "receive buffer" "$work/idle.log" && break
  sleep 0.1
done
if [[ -n $vpid ]] && grep -q "receive buffer" "$work/idle.log"; then
  sleep 4  # past start-up
  tick=$(getconf CLK_TCK)
  cpu() { awk -v t="$tick" '{printf "%.2f", ($14 + $15) / t}' "/proc/$vpid/stat"; }
  rss() { awk '/VmRSS/ {print $2}' "/proc/$vpid/status"; }
  c0=$(cpu); r0=$(rss)
  sleep "$idle_s"
  c1=$(cpu); r1=$(rss)
  echo "idle viewer (live display on): CPU $(awk -v a="$c0" -v b="$c1" 'BEGIN {printf "%.2f", b - a}') s" \
    "in $idle_s s; resident $r0 kB -> $r1 kB"
else
  echo "idle viewer: the live display did not start"; cat "$work/idle.log"
fi
fi

