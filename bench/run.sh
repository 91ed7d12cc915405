#!/usr/bin/env bash
# Conversion and timetable-export speed on synthetic centres, beside xmllint on the same files.
#
#   bench/run.sh                 builds the release binaries in build-release/ and runs
#   BUILD_DIR=dir bench/run.sh   uses (and builds) the binaries of another release build
#   SOLUC_ROWS=N                 rows of the SOLUC for importar (default 1000000)
#   SCALES="1 10 50"             centre sizes, 1 = a large school (200 groups, 3,000 loads)
#
# Figures are wall-clock seconds and peak resident memory, from /usr/bin/time; they are
# measurements to read, not pass/fail checks.
set -euo pipefail

src=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$src/build-release}
rows=${SOLUC_ROWS:-1000000}
scales=${SCALES:-"1 10 50"}

if [ ! -x /usr/bin/time ]; then
    echo "Falta /usr/bin/time (paquete Debian 'time'): ejecute scripts/setup.sh" >&2
    exit 1
fi
command -v xmllint >/dev/null || { echo "Falta xmllint: ejecute scripts/setup.sh" >&2; exit 1; }

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=Release -DALMADIA_GUI=OFF -DALMADIA_TESTS=OFF >/dev/null
fi
if ! cmake --build "$build" --target almadia-cli gen_centro gen_soluc -j2 >"$build/bench-build.log" 2>&1; then
    cat "$build/bench-build.log" >&2
    exit 1
fi
if ! grep -q 'CMAKE_BUILD_TYPE:STRING=Release' "$build/CMakeCache.txt"; then
    echo "Aviso: $build no es una compilación Release; las cifras no son representativas" >&2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# measure LABEL COMMAND...: runs it, leaves "seconds peak_kb" in $work/LABEL.time.
measure() {
    local label=$1
    shift
    if ! /usr/bin/time -f '%e %M' -o "$work/$label.time" "$@" >"$work/$label.out" 2>"$work/$label.err"; then
        echo "Ha fallado: $*" >&2
        cat "$work/$label.err" >&2
        exit 1
    fi
}
seconds() { cut -d' ' -f1 "$work/$1.time"; }
megabytes() { awk '{ printf "%.1f", $2 / 1024 }' "$work/$1.time"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.1f", a / b; else print "-" }'; }
size_mb() { awk -v s="$(stat -c %s "$1")" 'BEGIN { printf "%.2f", s / 1048576 }'; }

printf '\nExportar (centro XML -> siete tablas)\n'
printf '%-6s %7s %7s %9s %9s %9s %9s %8s %8s\n' \
    escala grupos MB xmllint_s xmllint_MB export_s export_MB t_ratio m_ratio
largest=""
for scale in $scales; do
    xml="$work/centro-$scale.xml"
    "$build/gen_centro" --escala "$scale" "$xml" 2>/dev/null
    groups=$(grep -c '<Grupo ' "$xml")
    measure "lint-$scale" xmllint --noout "$xml"
    folder="$work/ktemp-$scale"
    mkdir -p "$folder"
    measure "export-$scale" "$build/almadia-cli" exportar "$xml" --carpeta "$folder"
    printf '%-6s %7s %7s %9s %9s %9s %9s %8s %8s\n' "${scale}x" "$groups" "$(size_mb "$xml")" \
        "$(seconds "lint-$scale")" "$(megabytes "lint-$scale")" \
        "$(seconds "export-$scale")" "$(megabytes "export-$scale")" \
        "$(ratio "$(seconds "export-$scale")" "$(seconds "lint-$scale")")" \
        "$(ratio "$(cut -d' ' -f2 "$work/export-$scale.time")" "$(cut -d' ' -f2 "$work/lint-$scale.time")")"
    largest=$scale
done
echo "(t_ratio, m_ratio: exportar frente a xmllint --noout, tiempo y memoria máxima)"

printf '\nImportar (SOLUC -> resultado XML), centro %sx\n' "$largest"
folder="$work/ktemp-$largest"
"$build/gen_soluc" "$folder" "$rows" 2>/dev/null
measure import "$build/almadia-cli" importar "$work/centro-$largest.xml" --carpeta "$folder"
result="$work/ResultadoHoravelcentro-$largest.xml"
activities=$(grep -o '<actividad ' "$result" | wc -l)
printf '%-12s %9s %12s %11s %9s %9s\n' filas_SOLUC SOLUC_MB actividades result_MB import_s import_MB
printf '%-12s %9s %12s %11s %9s %9s\n' "$rows" "$(size_mb "$folder/SOLUC.DBF")" "$activities" \
    "$(size_mb "$result")" "$(seconds import)" "$(megabytes import)"
measure lint-result xmllint --noout "$result"
echo "(xmllint --noout sobre el resultado: $(seconds lint-result) s, $(megabytes lint-result) MB)"
