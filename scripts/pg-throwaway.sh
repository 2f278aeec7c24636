#!/usr/bin/env bash
# start DIR: creates and starts a PostgreSQL cluster in DIR on a free port, owned by
#            the postgres user, and prints its connection URL.
# stop DIR:  stops it and removes DIR.
set -euo pipefail
cmd="$1"; dir="$2"
bindir="$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n1)"
as_pg() {
  if [ "$(id -un)" = "postgres" ]; then "$@";
  elif [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@";
  else sudo -u postgres "$@"; fi
}
case "$cmd" in
  start)
    mkdir -p "$dir"; chown postgres "$dir" 2>/dev/null || true; chmod 700 "$dir"
    as_pg "$bindir/initdb" -D "$dir/data" -A trust -U postgres -E UTF8 --locale=C.UTF-8 >/dev/null
    # A random high port; another one if it is taken.
    started=""
    for _ in 1 2 3 4 5 6 7 8; do
      port=$((20000 + RANDOM % 30000))
      if as_pg "$bindir/pg_ctl" -D "$dir/data" -l "$dir/log" -w -t 30 \
           -o "-p $port -k $dir -c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=200" start >/dev/null 2>&1; then
        started=1; break
      fi
    done
    [ -n "$started" ] || { echo "PostgreSQL não iniciou; veja $dir/log" >&2; exit 1; }
    as_pg "$bindir/createdb" -h 127.0.0.1 -p "$port" -U postgres cot_test
    echo "postgresql://postgres@127.0.0.1:$port/cot_test"
    ;;
  stop)
    as_pg "$bindir/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
    rm -rf "$dir"
    ;;
esac
