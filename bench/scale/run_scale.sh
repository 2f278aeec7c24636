#!/usr/bin/env bash
# Several cot-server processes behind HAProxy on one throwaway PostgreSQL:
# for 1, 2 and 4 servers, getDescSis alone and the 70/30 mix through HAProxy
# (reads/s, writes/s, p99), the CPU the servers used per request, then the
# racing writers across the servers (0 overlapping bands, 0 lost updates).
# The bare libmicrohttpd server runs in the same run for the ratio. On a
# 2-core machine the cores bound the scaling: compare CPU per request.
# Installs haproxy (Debian) when missing. Not part of ctest.
# Usage: bench/scale/run_scale.sh [BUILD_DIR] [SECONDS] [WORKERS_PER_SERVER]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${1:-$root/build}"
secs="${2:-10}"
workers="${3:-4}"
bin="$build/bin"

if ! command -v haproxy >/dev/null 2>&1; then
  echo "Instalando haproxy..."
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends haproxy >/dev/null
fi
haproxy="$(command -v haproxy || echo /usr/sbin/haproxy)"

. "$root/bench/lib.sh"
bench_workdir scale
cpu_ticks() { local t=0; for p in "$@"; do t=$((t + $(awk '{print $14 + $15}' "/proc/$p/stat"))); done; echo "$t"; }
hz="$(getconf CLK_TCK)"

bench_pg
url="$pg_url"
echo "PostgreSQL descartável: $url; $(nproc) núcleos; carga antes: $(cut -d' ' -f1-3 /proc/loadavg)"

bare_port="$(free_port)"
"$bin/bench_bare_mhd" "$bare_port" >/dev/null & pids+=($!)
sleep 0.5
bare="$(wrk -t2 -c32 -d"${secs}s" -s "$here/../server/getDescSis.lua" "http://127.0.0.1:$bare_port" | rate)"
echo "servidor nu (libmicrohttpd, resposta constante): $bare req/s"

for n in 1 2 4; do
  schema="scale$n"
  "$bin/bench_server_load" --prepare "$schema" "$url" >/dev/null 2>&1
  db="$url?schema=$schema"
  servers=() ports=()
  for i in $(seq "$n"); do
    "$bin/cot-server" --listen 127.0.0.1:0 --database "$db" --threads "$workers" >"$work/s$n-$i.out" 2>/dev/null &
    servers+=($!); pids+=($!)
  done
  for i in $(seq "$n"); do
    for _ in $(seq 100); do grep -q escutando "$work/s$n-$i.out" 2>/dev/null && break; sleep 0.1; done
    ports+=("$(sed -n 's/.*:\([0-9]*\)$/\1/p' "$work/s$n-$i.out")")
  done
  front="$(free_port)"
  {
    printf 'global\n  maxconn 4096\ndefaults\n  mode http\n  option http-keep-alive\n  timeout connect 2s\n  timeout client 60s\n  timeout server 60s\n'
    printf '  retries 2\n  option redispatch 1\n  retry-on conn-failure\n'
    printf 'frontend f\n  bind 127.0.0.1:%s\n  default_backend b\n' "$front"
    printf 'backend b\n  balance leastconn\n  option httpchk\n  http-check send meth GET uri /health\n  http-check expect status 200\n'
    for i in "${!ports[@]}"; do printf '  server s%d 127.0.0.1:%s check inter 1s\n' "$i" "${ports[$i]}"; done
  } >"$work/haproxy$n.cfg"
  "$haproxy" -f "$work/haproxy$n.cfg" -db >/dev/null 2>&1 & hap=$!; pids+=($hap)
  sleep 1.5
  echo "== $n servidor(es) atrás do HAProxy ($workers workers cada) =="
  c0="$(cpu_ticks "${servers[@]}")"; h0="$(cpu_ticks "$hap")"
  out="$(wrk -t2 -c32 -d"${secs}s" -s "$here/../server/getDescSis.lua" "http://127.0.0.1:$front")"
  c1="$(cpu_ticks "${servers[@]}")"; h1="$(cpu_ticks "$hap")"
  app="$(echo "$out" | rate)"
  total=$(python3 -c "print(int($app*$secs))")
  echo "  getDescSis: $app req/s (razão ao servidor nu $(python3 -c "print(f'{$app/$bare:.2f}')")); CPU por requisição: servidores $(python3 -c "print(f'{($c1-$c0)/$hz/$total*1e6:.0f}')") µs, HAProxy $(python3 -c "print(f'{($h1-$h0)/$hz/$total*1e6:.0f}')") µs"
  c0="$(cpu_ticks "${servers[@]}")"
  wrk -t2 -c32 -d"${secs}s" --timeout 10s -s "$here/../server/mix.lua" "http://127.0.0.1:$front" | sed -n '/requisições/,$p'
  c1="$(cpu_ticks "${servers[@]}")"
  echo "  CPU dos servidores na mistura: $(python3 -c "print(f'{($c1-$c0)/$hz/$secs:.2f}')") núcleos em média"
  python3 "$here/race.py" "$front" 8 20 | sed 's/^/  corrida: /' || echo "  corrida: FALHOU"
  for p in "$hap" "${servers[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
done
echo "carga depois: $(cut -d' ' -f1-3 /proc/loadavg)"
