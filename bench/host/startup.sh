#!/usr/bin/env bash
# Measures cot-host from start to the price tables shown (embedded server,
# demonstration data already created), and the resident memory with the main
# screen open. Usage: bench/host/startup.sh [BUILD_DIR] [RUNS]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build}"
runs="${2:-10}"
host="$build/bin/cot-host"
data="$(mktemp -d /tmp/cot-bench.XXXXXX)"
trap 'rm -rf "$data"' EXIT
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"

# First start creates the database and its demonstration data; not measured.
"$host" --data-dir "$data" --measure-startup >/dev/null

times=()
for _ in $(seq "$runs"); do
  t=$("$host" --data-dir "$data" --measure-startup | sed -n 's/^startup_ms=//p')
  times+=("$t")
done
sorted=$(printf '%s\n' "${times[@]}" | sort -n)
echo "startup to price tables shown (ms): $(echo $sorted | tr '\n' ' ')"
echo "median_ms=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}')"

# Resident memory with the main screen open and idle for a moment.
"$host" --data-dir "$data" &
pid=$!
sleep 3
rss_kb=$(awk '/VmRSS/{print $2}' "/proc/$pid/status")
kill "$pid"; wait "$pid" 2>/dev/null || true
echo "rss_mb=$((rss_kb / 1024))"
