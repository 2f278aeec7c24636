#!/usr/bin/env bash
# Runs the server benchmarks on SQLite and PostgreSQL and prints the figures:
#  (a) latency of getTbPreco (1,000 price tables) and getDescSis, RPC against the
#      same SELECT in-process;
#  (b) throughput with 32 concurrent connections, 70% reads / 30% writes, for
#      20 s, driven by wrk (mix.lua) against a cot-server process, and by the
#      threaded client of bench_server_load;
#  (c) on PostgreSQL, the same statements under pgbench as the ceiling.
# Uses COT_BENCH_PG_URL when set, else starts a throwaway PostgreSQL cluster.
# Not part of ctest. Usage: bench/server/run_benchmarks.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${1:-$root/build-server}"
secs="${2:-20}"
bin="$build/bin"
work="$(mktemp -d /tmp/cot-bench.XXXXXX)"
pg_dir=""
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null || true
  [ -n "$pg_dir" ] && "$root/scripts/pg-throwaway.sh" stop "$pg_dir" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

pg_url="${COT_BENCH_PG_URL:-}"
if [ -z "$pg_url" ]; then
  pg_dir="$(mktemp -d /tmp/cot-bench-pg.XXXXXX)"
  pg_url="$("$root/scripts/pg-throwaway.sh" start "$pg_dir")"
fi

echo "== (a) latência =="
"$bin/bench_server_latency" "$pg_url" 2>/dev/null

start_server() {  # database file or URL
  "$bin/cot-server" --listen 127.0.0.1:0 --database "$1" --threads 32 >"$work/server.out" 2>/dev/null &
  server_pid=$!
  for _ in $(seq 100); do grep -q escutando "$work/server.out" 2>/dev/null && break; sleep 0.1; done
  port="$(sed -n 's/.*:\([0-9]*\)$/\1/p' "$work/server.out")"
}
stop_server() { kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; server_pid=""; }

echo
echo "== (b) vazão: 32 conexões, 70% leituras / 30% escritas, ${secs} s, wrk =="
"$bin/bench_server_load" --prepare "$work/load.db" >/dev/null 2>&1
start_server "$work/load.db"
echo "[SQLite]"
wrk -t2 -c32 -d"${secs}s" --timeout 10s -s "$here/mix.lua" "http://127.0.0.1:$port" | sed -n '/requisições/,$p'
stop_server
"$bin/bench_server_load" --prepare bench_wrk "$pg_url" >/dev/null 2>&1
start_server "$pg_url?schema=bench_wrk"
echo "[PostgreSQL]"
wrk -t2 -c32 -d"${secs}s" --timeout 10s -s "$here/mix.lua" "http://127.0.0.1:$port" | sed -n '/requisições/,$p'
stop_server

echo
echo "== (b') vazão com 32 clientes em threads (bench_server_load), ${secs} s =="
"$bin/bench_server_load" --seconds "$secs" "$pg_url" 2>/dev/null

echo
echo "== (c) teto do PostgreSQL: as mesmas instruções no pgbench, 32 clientes, ${secs} s =="
"$bin/bench_server_load" --prepare bench_pgbench "$pg_url" >/dev/null 2>&1
PGOPTIONS="-c search_path=bench_pgbench" pgbench -n -M prepared -c 32 -j 2 -T "$secs" \
  -f "$here/pgbench_getTbPreco.sql@23" -f "$here/pgbench_getDescSis.sql@24" -f "$here/pgbench_getVdIntervSis.sql@23" \
  -f "$here/pgbench_setDescSis_insert.sql@15" -f "$here/pgbench_setDescSis_delete.sql@15" "$pg_url" 2>&1 |
  grep -E "^(tps|latency|number of (transactions|failed))"
