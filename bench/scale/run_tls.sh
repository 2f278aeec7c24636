#!/usr/bin/env bash
# What TLS at HAProxy costs: two cot-server instances on one throwaway
# PostgreSQL behind one HAProxy with two frontends, plain HTTP and TLS
# (bind ... ssl crt, option forwardfor, the instances trusting 127.0.0.1),
# measured in the same run on the same machine: getDescSis requests/s and
# p99 through each, with wrk's keep-alive connections (a desktop keeps its
# connection, so the handshake is paid once per connection), then with a new
# connection per request (every call pays a handshake).
# Usage: bench/scale/run_tls.sh [BUILD_DIR] [SECONDS] [WORKERS_PER_SERVER]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${1:-$root/build}"
secs="${2:-10}"
workers="${3:-4}"
bin="$build/bin"
command -v haproxy >/dev/null 2>&1 || { echo "instale o haproxy (apt-get install haproxy)"; exit 1; }
haproxy="$(command -v haproxy)"

. "$root/bench/lib.sh"
bench_workdir tls
summary() { awk '/Requests\/sec/ {r=$2} /^ +99%/ {p=$2} END {printf "%s req/s, p99 %s", r, p}'; }

bench_pg
url="$pg_url"
"$bin/bench_server_load" --prepare tls "$url" >/dev/null 2>&1
openssl rand -hex 32 >"$work/token"
token="$(cat "$work/token")"
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -subj /CN=localhost \
  -addext subjectAltName=DNS:localhost,IP:127.0.0.1 -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
cat "$work/cert.pem" "$work/key.pem" >"$work/haproxy.pem"
ports=()
for i in 1 2; do
  "$bin/cot-server" --listen 127.0.0.1:0 --database "$url?schema=tls" --threads "$workers" --token-file "$work/token" \
    --trusted-proxy 127.0.0.1 >"$work/s$i.out" 2>/dev/null & pids+=($!)
done
for i in 1 2; do
  for _ in $(seq 100); do grep -q escutando "$work/s$i.out" 2>/dev/null && break; sleep 0.1; done
  ports+=("$(sed -n '1s/.*:\([0-9]*\)$/\1/p' "$work/s$i.out")")
done
plain="$(free_port)"; tls="$(free_port)"
{
  printf 'global\n  maxconn 4096\n  ssl-default-bind-options ssl-min-ver TLSv1.2\n'
  printf 'defaults\n  mode http\n  option http-keep-alive\n  timeout connect 2s\n  timeout client 60s\n  timeout server 60s\n'
  printf 'frontend plain\n  bind 127.0.0.1:%s\n  option forwardfor\n  default_backend b\n' "$plain"
  printf 'frontend tls\n  bind 127.0.0.1:%s ssl crt %s\n  option forwardfor\n  default_backend b\n' "$tls" "$work/haproxy.pem"
  printf 'backend b\n  balance leastconn\n'
  for i in "${!ports[@]}"; do printf '  server s%d 127.0.0.1:%s\n' "$i" "${ports[$i]}"; done
} >"$work/haproxy.cfg"
"$haproxy" -f "$work/haproxy.cfg" -db >/dev/null 2>&1 & pids+=($!)
sleep 1.5
lua="$work/getDescSis.lua"
check() { curl -sk -H "Authorization: Bearer $token" -H "Content-Type: application/json" --data "{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"getDescSis\",\"params\":[\"0000000001\"]}" "$1/rpc/Cot00300.rdmTbPreProCom" | head -c 160; echo; }
echo "  resposta (http):  $(check "http://127.0.0.1:$plain")"
echo "  resposta (https): $(check "https://127.0.0.1:$tls")"
{ cat "$here/../server/getDescSis.lua"; echo "wrk.headers[\"Authorization\"] = \"Bearer $token\""; } >"$lua"
echo "2 servidores ($workers workers cada) atrás do HAProxy, PostgreSQL descartável, $(nproc) núcleos"
for mode in keepalive close; do
  extra=(); [ "$mode" = close ] && extra=(-H "Connection: close")
  for scheme in http https; do
    port="$plain"; [ "$scheme" = https ] && port="$tls"
    out="$(wrk -t2 -c32 -d"${secs}s" --latency "${extra[@]}" -s "$lua" "$scheme://127.0.0.1:$port" | summary)"
    printf '  %-9s %-5s %s\n' "$mode" "$scheme" "$out"
  done
done
