#!/usr/bin/env bash
# Live receive path under load (figures, never pass/fail), on loopback only: k740-sim sends
# from 127.0.0.2 to 127.0.0.1 at SPEED times the sensor's packet rate for SECONDS into
# `k740-convert listen`; prints the datagrams sent, received and lost, and the CPU time the
# listening process used per datagram (user + system, all its threads).
#
# usage: bench/run_receive_bench.sh [BIN_DIR] [SECONDS] [SPEED] [PROTOCOL]
#   defaults: build/bin 20 10 1
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$top/build/bin}
seconds=${2:-20}
speed=${3:-10}
protocol=${4:-1}
for exe in k740-sim k740-convert; do
  [[ -x $bin/$exe ]] || { echo "missing $bin/$exe (build it first)" >&2; exit 1; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/k740-receive-XXXXXX")
listen_pid=""
cleanup() { [[ -n $listen_pid ]] && kill "$listen_pid" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT

port=$((20000 + RANDOM % 20000))
"$bin/k740-convert" listen --port "$port" --protocol "$protocol" >"$work/frames.txt" 2>"$work/listen.err" &
listen_pid=$!
for _ in $(seq 50); do grep -q "listening on port" "$work/listen.err" && break; sleep 0.1; done
tick=$(getconf CLK_TCK)
cpu() { awk -v t="$tick" '{printf "%.3f", ($14 + $15) / t}' "/proc/$listen_pid/stat"; }
c0=$(cpu)
"$bin/k740-sim" --host 127.0.0.1 --source 127.0.0.2 --data-port "$port" --no-device-info --no-config \
  --protocol "$protocol" --speed "$speed" --duration "$seconds" >"$work/sim.out"
sleep 1  # the last datagrams drain from the socket buffer
c1=$(cpu)
kill -INT "$listen_pid"
wait "$listen_pid" || true
listen_pid=""
sent=$(sed -n 's/.*sent \([0-9]*\) data packets.*/\1/p' "$work/sim.out")
received=$(sed -n 's/.* \([0-9]*\) datagrams received.*/\1/p' "$work/listen.err")
frames=$(grep -c '^frame ' "$work/frames.txt" || true)
echo "speed ${speed}x for $seconds s, protocol $protocol: sent $sent, received ${received:-?}," \
  "lost $(( ${sent:-0} - ${received:-0} )), frames $frames"
awk -v a="$c0" -v b="$c1" -v r="${received:-0}" 'BEGIN {
  cpu = b - a; printf "CPU %.2f s, %.2f us per datagram\n", cpu, (r > 0 ? 1e6 * cpu / r : 0) }'
