#!/usr/bin/env bash
# The desktop's actions over a slow link, on a real cot-server: straight and
# through the delaying proxy (80 ms round trip by default), side by side; on
# the demonstration data, then with 100 price tables more. Not part of ctest.
# Usage: bench/wan/run_wan.sh [BUILD_DIR] [RTT_MS] [IDLE_SECONDS]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${1:-$root/build}"
rtt="${2:-80}"
idle="${3:-31}"
bin="$build/bin"
work="$(mktemp -d /tmp/cot-wan.XXXXXX)"
server=""
cleanup() {
  if [ -n "$server" ]; then kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

"$bin/cot-server" --listen 127.0.0.1:0 --database "$work/cot.db" --demo >"$work/server.out" 2>"$work/server.log" &
server=$!
for _ in $(seq 100); do grep -q escutando "$work/server.out" 2>/dev/null && break; sleep 0.1; done
port="$(sed -n 's/.*:\([0-9]*\)$/\1/p' "$work/server.out" | head -1)"

"$bin/bench_wan" --port "$port" --rtt-ms "$rtt" --idle-seconds "$idle" --label "dados de demonstração"
"$bin/bench_wan" --port "$port" --seed 100
"$bin/bench_wan" --port "$port" --rtt-ms "$rtt" --idle-seconds "$idle" --label "com 100 tabelas de preço a mais"
