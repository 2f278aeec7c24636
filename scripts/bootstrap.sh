#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those missing.
# Safe to run again; works as root or through sudo.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config git
  qt6-base-dev libqt6sql6-sqlite libqt6sql6-psql libgl-dev
  libcpp-httplib-dev libmicrohttpd-dev libgnutls28-dev libssl-dev libpq-dev libxlsxwriter-dev libsimdjson-dev libsqlite3-dev zlib1g-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  postgresql wrk
  xvfb xauth poppler-utils fonts-dejavu-core unzip
  adwaita-icon-theme dpkg-dev libcairo2-dev
  lintian help2man openssl
  qt6-translations-l10n
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Instalando pacotes ausentes: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
