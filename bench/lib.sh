# Sourced by the load benchmarks: a work folder removed on exit with every
# process started into `pids` (and a throwaway PostgreSQL cluster in
# $work/pg, when one was started with bench_pg), a free loopback port, and
# wrk's requests per second.
# Usage: . "$root/bench/lib.sh"; bench_workdir NAME
bench_workdir() {
  work="$(mktemp -d "/tmp/cot-$1.XXXXXX")"
  chmod 755 "$work"
  pids=()
  pg_dir=""
  trap bench_cleanup EXIT
}

bench_cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  if [ -n "$pg_dir" ]; then "$root/scripts/pg-throwaway.sh" stop "$pg_dir" >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}

# Starts a throwaway PostgreSQL cluster in $work/pg; its URL in pg_url.
# Not in a subshell: the cleanup must know the cluster.
bench_pg() {
  pg_dir="$work/pg"
  mkdir -p "$pg_dir"
  pg_url="$("$root/scripts/pg-throwaway.sh" start "$pg_dir")"
}

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
rate() { sed -n 's/^Requests\/sec: *\([0-9.]*\).*/\1/p'; }
