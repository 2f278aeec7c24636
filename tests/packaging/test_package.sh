#!/usr/bin/env bash
# The Debian package, made by CPack from this build tree:
#  1. it holds cot-host, cot-server (and cot-report once built), the module,
#     the desktop entry, the icon and the systemd unit, with its scripts;
#  2. its programs start from the unpacked tree, finding their libraries and
#     the module beside themselves (--help; the host also opens its window);
#  3. the unit passes `systemd-analyze verify`, where the machine has it;
#  4. Debian's checker, lintian, finds no error and no warning, where installed.
set -euo pipefail
build="$1"
work="$(mktemp -d /tmp/cot-package.XXXXXX)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FALHOU: $*" >&2; exit 1; }

cd "$work"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >cpack.log 2>&1 || { cat cpack.log; fail "cpack"; }
deb="$(ls out/*.deb)"
echo "pacote: $(basename "$deb") ($(du -h "$deb" | cut -f1))"

# 1. contents
dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's#^\./#/#' > contents
expect=(
  '^/usr/bin/cot-host$'
  '^/usr/bin/cot-server$'
  '^/usr/lib/(.*/)?cot/libPkg_cot00300\.so$'
  '^/usr/lib/(.*/)?cot/libcot_host_ui\.so$'
  '^/usr/lib/(.*/)?cot/libcot_host_core\.so$'
  '^/usr/share/applications/cot-host\.desktop$'
  '^/usr/share/icons/hicolor/scalable/apps/cot-host\.svg$'
  '^/usr/share/icons/hicolor/48x48/apps/cot-host\.png$'
  '^/lib/systemd/system/cot-server\.service$'
  '^/etc/default/cot-server$'
  '^/usr/share/doc/cot/copyright$'
  '^/usr/share/doc/cot/changelog\.gz$'
  '^/usr/share/man/man1/cot-host\.1\.gz$'
  '^/usr/share/man/man1/cot-server\.1\.gz$'
)
[ -x "$build/bin/cot-report" ] && expect+=('^/usr/bin/cot-report$' '^/usr/share/man/man1/cot-report\.1\.gz$')
for pattern in "${expect[@]}"; do
  grep -Eq "$pattern" contents || fail "o pacote não contém $pattern"
done
dpkg-deb -e "$deb" control
for script in postinst prerm postrm conffiles; do [ -f "control/$script" ] || fail "falta o controle $script"; done
grep -q '^Depends:.*libqt6sql6-sqlite' control/control || fail "Depends sem o driver SQLite"
grep -q 'adduser --system' control/postinst || fail "postinst não cria o usuário do serviço"
grep -q '/etc/cot/token' control/postinst || fail "postinst não cria a chave"
grep -q 'deb-systemd-helper enable' control/postinst || fail "postinst não habilita o serviço pelo deb-systemd-helper"

# 2. programs from the unpacked tree
dpkg-deb -x "$deb" root
env -u LD_LIBRARY_PATH root/usr/bin/cot-server --help 2>server-help.txt || fail "cot-server --help"
grep -q -- '--token-file' server-help.txt || fail "cot-server --help sem a ajuda"
env -u LD_LIBRARY_PATH -u DISPLAY root/usr/bin/cot-host --help >host-help.txt || fail "cot-host --help"
grep -q -- '--server' host-help.txt || fail "cot-host --help sem a ajuda"
if [ -x root/usr/bin/cot-report ]; then
  env -u LD_LIBRARY_PATH -u DISPLAY root/usr/bin/cot-report --help >/dev/null 2>&1 || fail "cot-report --help"
fi
# The host loads the module from ../lib/cot and shows its window.
env -u LD_LIBRARY_PATH QT_QPA_PLATFORM=offscreen COT_CONFIG_DIR="$work/config" \
  root/usr/bin/cot-host --data-dir "$work/data" --measure-startup >host-start.txt 2>&1 || { cat host-start.txt; fail "cot-host não iniciou"; }
grep -q '^startup_ms=' host-start.txt || { cat host-start.txt; fail "cot-host não abriu a tela"; }

# 3. the unit
unit="$(find root -name cot-server.service)"
grep -q '^User=cot$' "$unit" || fail "a unidade não roda como o usuário cot"
grep -q -- '--token-file /etc/cot/token' "$unit" || fail "a unidade não lê a chave"
grep -q '^StateDirectory=cot$' "$unit" || fail "a unidade não usa /var/lib/cot"
if command -v systemd-analyze >/dev/null 2>&1; then
  mkdir -p verify
  sed "s#/usr/bin/cot-server#$work/root/usr/bin/cot-server#" "$unit" > verify/cot-server.service
  systemd-analyze verify "$work/verify/cot-server.service" >verify.log 2>&1 || { cat verify.log; fail "systemd-analyze verify"; }
  if grep -q 'cot-server.service' verify.log; then cat verify.log; fail "systemd-analyze verify avisou sobre a unidade"; fi
  echo "systemd-analyze verify: ok"
else
  echo "systemd-analyze ausente: verificação da unidade pulada"
fi

# 4. lintian
if command -v lintian >/dev/null 2>&1; then
  lintian --fail-on error,warning "$deb" >lintian.log 2>&1 || { cat lintian.log; fail "lintian"; }
  if grep -E '^[EW]: ' lintian.log; then fail "lintian avisou"; fi
  echo "lintian: ok"
else
  echo "lintian ausente: verificação do pacote pulada"
fi
echo "ok"
