#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole exchange on the bundled sample centre:
# centre XML -> working tables -> a demo timetable (SOLUC) -> result XML, in a fresh folder out/.
# With --dialogo it then opens the dialog on the same exchange folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dialog=0
for arg in "$@"; do
  case "$arg" in
    --dialogo|--dialog) dialog=1 ;;
    -h|--help) echo "uso: $0 [--dialogo]"; exit 0 ;;
    *) echo "opción desconocida: $arg" >&2; exit 2 ;;
  esac
done

"$root/scripts/setup.sh"
"$root/scripts/build.sh"
build="${ALMADIA_BUILD:-$root/build}"

out="$root/out"
rm -rf "$out"
mkdir -p "$out/KTEMP"
cp "$root/samples/centro.xml" "$out/centro.xml"

echo "== 1. Centro XML -> tablas de trabajo ($out/KTEMP)"
"$build/almadia-cli" exportar "$out/centro.xml" --carpeta "$out/KTEMP"
ls -l "$out/KTEMP"

echo
echo "== 2. Horario de demostración (SOLUC.DBF)"
"$build/make_soluc" "$out/KTEMP"

echo
echo "== 3. SOLUC -> XML de resultado"
"$build/almadia-cli" importar "$out/centro.xml" --carpeta "$out/KTEMP"
result="$out/ResultadoHoravelcentro.xml"
echo
echo "Resultado: $result ($(grep -o "<actividad" "$result" | wc -l) actividades)"
head -c 600 "$result" | iconv -f ISO-8859-1 -t UTF-8
echo

if ((dialog)); then
  echo
  echo "== Diálogo (carpeta de intercambio $out/KTEMP)"
  ALMADIA_KTEMP="$out/KTEMP" "$build/almadia"
fi
