#!/usr/bin/env bash
# The application server against the ceiling of its HTTP library, in one run:
# a bare libmicrohttpd server answering a constant reply (bench_bare_mhd), then
# cot-server on SQLite answering a call that reaches no database (the floor of
# every method: parse, log, hand-off), getDescSis alone and the 70/30 mix (mix.lua),
# each with 32 connections; then all of it again with 1,000 idle connections
# open beside the load. Not part of ctest.
# Usage: bench/server/run_http_ratio.sh [BUILD_DIR] [SECONDS] [WORKERS]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${1:-$root/build}"
secs="${2:-10}"
workers="${3:-4}"
bin="$build/bin"
. "$root/bench/lib.sh"
bench_workdir ratio

"$bin/bench_server_load" --prepare "$work/template.db" >/dev/null 2>&1

start() {  # command... ; sets pid, appends to pids
  "$@" &
  pid=$!
  pids+=($pid)
}

round() {  # label, idle connections beside the load
  echo "== $1 =="
  # Each round on a fresh copy of the seeded database: the mix's writes expect it.
  rm -f "$work"/load.db*
  cp "$work/template.db" "$work/load.db"
  local bare_port
  bare_port="$(free_port)"
  start "$bin/bench_bare_mhd" "$bare_port" >/dev/null
  local bare_pid=$pid
  start "$bin/cot-server" --listen 127.0.0.1:0 --database "$work/load.db" --threads "$workers" >"$work/server.out" 2>/dev/null
  local app_pid=$pid
  for _ in $(seq 100); do grep -q escutando "$work/server.out" 2>/dev/null && break; sleep 0.1; done
  local port
  port="$(sed -n 's/.*:\([0-9]*\)$/\1/p' "$work/server.out")"
  local holders=()
  if [ "$2" -gt 0 ]; then
    rm -f "$work"/idle*.out
    start python3 "$here/hold_idle.py" "$port" "$2" >"$work/idle1.out"; holders+=($pid)
    start python3 "$here/hold_idle.py" "$bare_port" "$2" >"$work/idle2.out"; holders+=($pid)
    for _ in $(seq 300); do [ -s "$work/idle1.out" ] && [ -s "$work/idle2.out" ] && break; sleep 0.1; done
  fi
  sleep 0.5
  local bare app floor
  bare="$(wrk -t2 -c32 -d"${secs}s" -s "$here/getDescSis.lua" "http://127.0.0.1:$bare_port" | rate)"
  floor="$(wrk -t2 -c32 -d"${secs}s" -s "$here/noDatabase.lua" "http://127.0.0.1:$port" | rate)"
  app="$(wrk -t2 -c32 -d"${secs}s" -s "$here/getDescSis.lua" "http://127.0.0.1:$port" | rate)"
  echo "  servidor nu (resposta constante): ${bare} req/s"
  echo "  cot-server sem banco (piso):      ${floor} req/s (razão $(python3 -c "print(f'{$floor/$bare:.2f}')"))"
  echo "  cot-server getDescSis:            ${app} req/s (razão $(python3 -c "print(f'{$app/$bare:.2f}')"); meta >= 40000)"
  echo "  cot-server mistura 70/30 (SQLite, ${workers} workers):"
  wrk -t2 -c32 -d"${secs}s" --timeout 10s -s "$here/mix.lua" "http://127.0.0.1:$port" | sed -n '/requisições/,$p'
  for p in "${holders[@]}" "$app_pid" "$bare_pid"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
}

round "32 conexões" 0
round "32 conexões com 1.000 conexões ociosas abertas ao lado (em cada servidor)" 1000
