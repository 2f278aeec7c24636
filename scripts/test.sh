#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless.
# The server suite also runs against a throwaway PostgreSQL cluster that this
# script starts (as the postgres user) and stops again on exit.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/build.sh"
build="${BUILD_DIR:-$root/build}"

export QT_QPA_PLATFORM=offscreen
export QT_LOGGING_RULES="qt.qpa.*=false"

pg_started=""
cleanup() {
  if [ -n "$pg_started" ]; then "$root/scripts/pg-throwaway.sh" stop "$pg_dir" >/dev/null 2>&1 || true; fi
}
trap cleanup EXIT

if [ -z "${COT_TEST_PG_URL:-}" ] && [ "${COT_SKIP_PG:-}" != "1" ]; then
  pg_dir="$(mktemp -d /tmp/cot-pg.XXXXXX)"
  if COT_TEST_PG_URL="$("$root/scripts/pg-throwaway.sh" start "$pg_dir")"; then
    export COT_TEST_PG_URL
    pg_started=1
  else
    echo "Aviso: não foi possível iniciar o PostgreSQL descartável; testes de PostgreSQL serão pulados." >&2
  fi
fi

cd "$build"
ctest --output-on-failure -j "$(nproc)" "$@"
