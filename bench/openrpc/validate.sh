#!/bin/sh
# The server's description against the OpenRPC meta-schema, with the OpenRPC
# project's own validator, and calls through a standard JSON-RPC client.
# Needs Node.js and the npm registry (both packages are fetched into a
# temporary folder); not part of the tests, which must run offline.
#   bench/openrpc/validate.sh [build/bin]
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
bin="${1:-$here/../../build/bin}"
work="$(mktemp -d /tmp/cot-openrpc.XXXXXX)"
trap 'kill "$server" 2>/dev/null || true; rm -rf "$work"' EXIT INT TERM
cp "$here/validate.mjs" "$work/"
(cd "$work" && npm install --silent --no-audit --no-fund @open-rpc/schema-utils-js jayson >/dev/null)
"$bin/cot-server" --listen 127.0.0.1:0 --database "$work/demo.db" --demo >"$work/server.log" 2>&1 &
server=$!
for _ in $(seq 50); do
  port="$(sed -n 's/.*escutando em 127.0.0.1:\([0-9]*\).*/\1/p' "$work/server.log" | head -1)"
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "o servidor não iniciou" >&2; cat "$work/server.log" >&2; exit 1; }
node "$work/validate.mjs" "http://127.0.0.1:$port"
