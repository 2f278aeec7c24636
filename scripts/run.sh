#!/usr/bin/env bash
# Installs what is missing, builds, and starts cot-host on its embedded server.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/build.sh"
build="${BUILD_DIR:-$root/build}"
if [ -x "$build/bin/cot-host" ]; then
  exec "$build/bin/cot-host" "$@"
fi
echo "cot-host ainda não faz parte desta versão; a compilação terminou."
