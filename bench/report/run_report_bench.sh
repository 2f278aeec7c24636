#!/usr/bin/env bash
# The price simulation report at full size (200 price tables x 3 types x 150
# users x 20 systems = 90,000 rows): the simulation alone, the document, our
# PDF, XLSX and CSV, the preview's first page, and, side by side, LibreOffice turning the same XLSX into
# PDF (installed here when missing; the tests never need it).
# Not part of ctest. Usage: bench/report/run_report_bench.sh [BUILD_DIR]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${1:-$root/build}"
bin="$build/bin"
work="$(mktemp -d /tmp/cot-report-bench.XXXXXX)"
trap 'rm -rf "$work"' EXIT

if ! command -v soffice >/dev/null 2>&1; then
  echo "Instalando o LibreOffice (só para a comparação)..."
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends libreoffice-calc-nogui >/dev/null
fi

echo "== arquivos gravados uma vez (simulação e documento incluídos) =="
"$bin/bench_report" --write "$work" --benchmark_filter=NONE 2>/dev/null | grep -E '^(pdf|xlsx|csv) ' | tee "$work/ours.txt"
ours_pdf="$(awk '$1 == "pdf" {print $2}' "$work/ours.txt")"

echo "== Google Benchmark =="
# The preview with every page drawn up front (Qt's preview widget, as the
# screen had it) takes minutes: BENCH_PREVIEW_BEFORE=1 adds it.
filter='^BM_(Simulation|Document|Pdf|Xlsx|Csv|PreviewFirstPage)'
if [ "${BENCH_PREVIEW_BEFORE:-}" = "1" ]; then filter='^BM_'; fi
"$bin/bench_report" --benchmark_counters_tabular=true --benchmark_filter="$filter" 2>/dev/null | grep -E '^(BM_|-|Benchmark)'

echo "== LibreOffice: o mesmo XLSX em PDF =="
# A first start of a new profile is timed apart, so only the conversion counts.
soffice -env:UserInstallation="file://$work/lo-profile" --headless --convert-to pdf --outdir "$work/lo0" "$here/CMakeLists.txt" >/dev/null 2>&1 || true
TIMEFORMAT="%R %U %S"
{ time soffice -env:UserInstallation="file://$work/lo-profile" --headless --convert-to pdf --outdir "$work/lo" "$work/cot003.xlsx" >/dev/null 2>&1; } 2>"$work/lo-time.txt"
lo_pdf="$(awk '{printf "%d", $1 * 1000}' "$work/lo-time.txt")"
lo_cpu="$(awk '{printf "%d", ($2 + $3) * 1000}' "$work/lo-time.txt")"
lo_pages="$(pdfinfo "$work/lo/cot003.pdf" 2>/dev/null | awk '/^Pages:/ {print $2}')"
# A workbook the converter would have to repair does not convert cleanly.
if [ -z "$lo_pages" ]; then echo "ERRO: o LibreOffice não abriu o XLSX" >&2; exit 1; fi
echo "libreoffice ${lo_pdf} ms (CPU ${lo_cpu} ms), ${lo_pages:-?} páginas"
awk -v a="$ours_pdf" -v b="$lo_pdf" 'BEGIN { printf "razão (nosso PDF / LibreOffice): %.3f\n", a / b }'
