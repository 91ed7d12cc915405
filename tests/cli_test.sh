#!/usr/bin/env bash
# almadia-cli end to end: exit statuses, messages, and what it leaves in the exchange folder.
# Usage: cli_test.sh ALMADIA_CLI SOURCE_DIR
set -u

cli=$1
src=$2
sample="$src/samples/centro.xml"
bindir=$(dirname "$cli")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Never let a test reach the real exchange folder.
export ALMADIA_KTEMP="$work/no-such-ktemp"

passed=0
failed=0

ok() { passed=$((passed + 1)); }
fail() {
    failed=$((failed + 1))
    echo "FALLO: $1"
    [ -n "${2:-}" ] && printf '  %s\n' "$2"
    return 0
}

# run ARGS...: sets status, out, err.
run() {
    "$cli" "$@" >"$work/out" 2>"$work/err"
    status=$?
    out=$(cat "$work/out")
    err=$(cat "$work/err")
}

expect_status() { # name expected
    if [ "$status" -eq "$2" ]; then ok; else fail "$1: estado $status, se esperaba $2" "$out $err"; fi
}

expect_text() { # name where text
    local where=$2 text=$3 haystack
    if [ "$where" = out ]; then haystack=$out; else haystack=$err; fi
    if grep -qF -- "$text" <<<"$haystack"; then ok; else fail "$1: falta \"$text\" en $where" "$haystack"; fi
}

# A folder holding an old table, to show a refused run leaves it alone.
make_folder() {
    rm -rf "$1"
    mkdir -p "$1"
    printf 'tabla anterior' >"$1/ASIGNOMT.DBF"
    (cd "$1" && find . -type f -exec md5sum {} + | sort) >"$1.before"
}

expect_untouched() { # name folder
    if diff -q "$2.before" <(cd "$2" && find . -type f -exec md5sum {} + | sort) >/dev/null; then
        ok
    else
        fail "$1: la carpeta de intercambio ha cambiado" "$(ls -la "$2")"
    fi
}

# --- Arguments -----------------------------------------------------------------------------

run --help
expect_status "--help" 0
expect_text "--help" out "almadia-cli exportar CENTRO.xml"

while IFS='|' read -r name args; do
    # shellcheck disable=SC2086
    run $args
    expect_status "$name" 2
    expect_text "$name" err "Uso:"
done <<EOF
sin argumentos|
orden desconocida|convertir $sample
exportar sin archivo|exportar
exportar con dos archivos|exportar $sample $sample
opción desconocida|exportar $sample --rapido
--carpeta sin valor|exportar $sample --carpeta
--informe sin valor|importar $sample --informe
--carpeta repetida|exportar $sample --carpeta $work --carpeta $work
carpeta inexistente|exportar $sample --carpeta $work/no-existe
ver sin tabla|ver
EOF

# --- Refusals: nothing in the exchange folder is touched -----------------------------------

mkdir -p "$work/docs/carpeta.xml"
printf 'esto no es XML\n' >"$work/docs/texto.xml"
printf '<?xml version="1.0"?>\n<Centro Codigo="1">\n  <Materias>\n</Centro>\n' >"$work/docs/roto.xml"
printf '<?xml version="1.0"?>\n<Horario/>\n' >"$work/docs/otro.xml"
: >"$work/docs/vacio.xml"

while IFS='|' read -r name file message; do
    folder="$work/ktemp-refused"
    make_folder "$folder"
    run exportar "$file" --carpeta "$folder" --informe "$work/informe-rechazo.txt"
    expect_status "exportar, $name" 2
    expect_text "exportar, $name" out "$message"
    expect_untouched "exportar, $name" "$folder"
    if [ -e "$work/informe-rechazo.txt" ]; then fail "exportar, $name: informe escrito"; else ok; fi
done <<EOF
archivo inexistente|$work/docs/no-existe.xml|No existe archivo
ruta vacía||No existe archivo
una carpeta|$work/docs/carpeta.xml|No existe archivo
texto que no es XML|$work/docs/texto.xml|texto.xml
XML mal formado|$work/docs/roto.xml|roto.xml
raíz que no es Centro|$work/docs/otro.xml|Centro
archivo vacío|$work/docs/vacio.xml|vacio.xml
EOF

# The refusal of a document that is not a centre is said on the terminal, not silently.
folder="$work/ktemp-refused"
make_folder "$folder"
run exportar "$work/docs/texto.xml" --carpeta "$folder"
if grep -qF "Proceso finalizado" <<<"$out$err"; then fail "exportar, no XML: dice que ha terminado"; else ok; fi

# A run stopped by an error exits 1, says why on standard error and leaves the old tables.
cat >"$work/docs/horas.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<Centro Codigo="1" Nombre="Prueba" CursoEscolar="2026/2027" Version="1">
  <Grupos>
    <Grupo Codigo="1A" Denominacion="1º A" CodigoEnsenanza="" Turno="M" Curso="1" Letra="A" CodigoTutor="">
      <MateriasGrupo><MateriaGrupo Codigo="MAT" Horas="dos horas"/></MateriasGrupo>
    </Grupo>
    <Grupo Codigo="1B" Denominacion="1º B" CodigoEnsenanza="" Turno="M" Curso="1" Letra="B" CodigoTutor=""/>
  </Grupos>
</Centro>
XML
folder="$work/ktemp-failed"
make_folder "$folder"
run exportar "$work/docs/horas.xml" --carpeta "$folder"
expect_status "exportar, Horas no numérica" 1
expect_text "exportar, Horas no numérica" err "dos horas"
expect_untouched "exportar, Horas no numérica" "$folder"
if grep -qF "Proceso finalizado" <<<"$out"; then fail "exportar, Horas no numérica: dice que ha terminado"; else ok; fi

# --- Conversion of the bundled sample ------------------------------------------------------

tables=(ASIGNOMT PROFT AULAT GRUPOST DIASHORAST COUNTSES ASIGT)
folder="$work/ktemp"
mkdir -p "$folder"
printf 'antigua' >"$folder/CURSOST.DBF"
run exportar "$sample" --carpeta "$folder" --informe "$work/informe.txt"
expect_status "exportar muestra" 0
expect_text "exportar muestra" out "Proceso finalizado"
for t in "${tables[@]}"; do
    if [ -s "$folder/$t.DBF" ]; then ok; else fail "exportar muestra: falta $t.DBF"; fi
done
if [ -s "$folder/COUNTSES.MDX" ]; then ok; else fail "exportar muestra: falta COUNTSES.MDX"; fi
if [ -e "$folder/CURSOST.DBF" ]; then fail "exportar muestra: CURSOST.DBF sigue ahí"; else ok; fi
if [ -s "$work/informe.txt" ] && grep -qF "PROFT" "$work/informe.txt"; then
    ok
else
    fail "exportar muestra: el informe no cuenta las filas de PROFT"
fi
# The report printed after the message is the one written to the file.
if grep -qF -- "$(head -n 1 "$work/informe.txt" 2>/dev/null)" <<<"$out"; then ok; else fail "exportar muestra: informe no mostrado"; fi
leftovers=$(find "$folder" -type f ! -name '*.DBF' ! -name '*.MDX')
if [ -z "$leftovers" ]; then ok; else fail "exportar muestra: archivos temporales olvidados" "$leftovers"; fi

# Without --carpeta the folder comes from ALMADIA_KTEMP.
mkdir -p "$work/ktemp-env"
ALMADIA_KTEMP="$work/ktemp-env" run exportar "$sample"
expect_status "exportar con ALMADIA_KTEMP" 0
if [ -s "$work/ktemp-env/GRUPOST.DBF" ]; then ok; else fail "exportar con ALMADIA_KTEMP: falta GRUPOST.DBF"; fi

# --- ver ------------------------------------------------------------------------------------

run ver "$folder/PROFT.DBF"
expect_status "ver PROFT" 0
header=$(head -n 1 "$work/out")
if grep -qF "ABREV" <<<"$header" && grep -qF "," <<<"$header"; then ok; else fail "ver PROFT: cabecera CSV" "$header"; fi
rows=$(($(wc -l <"$work/out") - 1))
if [ "$rows" -ge 40 ]; then ok; else fail "ver PROFT: $rows filas, se esperaban 40 o más"; fi

run ver "$folder/NOEXISTE.DBF"
expect_status "ver tabla inexistente" 2
expect_text "ver tabla inexistente" err "No existe archivo"

printf 'basura' >"$work/basura.dbf"
run ver "$work/basura.dbf"
expect_status "ver tabla dañada" 1
expect_text "ver tabla dañada" err "basura.dbf"

# --- importar -------------------------------------------------------------------------------

cp "$sample" "$work/docs/centro.xml"
run importar "$work/docs/centro.xml" --carpeta "$folder"
expect_status "importar sin SOLUC" 2
expect_text "importar sin SOLUC" out "No existe archivo XML o Solución."
if [ -e "$work/docs/ResultadoHoravelcentro.xml" ]; then fail "importar sin SOLUC: resultado escrito"; else ok; fi

run importar "$work/docs/no-existe.xml" --carpeta "$folder"
expect_status "importar sin centro" 2
expect_text "importar sin centro" out "No existe archivo XML o Solución."

# With a SOLUC made from the tables just written (by the benchmark's generator, when built).
if [ -x "$bindir/gen_soluc" ]; then
    if "$bindir/gen_soluc" "$folder" 500 >/dev/null 2>&1; then
        run importar "$work/docs/centro.xml" --carpeta "$folder" --informe "$work/informe-imp.txt"
        expect_status "importar" 0
        expect_text "importar" out "Proceso finalizado"
        if [ -s "$work/docs/ResultadoHoravelcentro.xml" ]; then ok; else fail "importar: falta el resultado"; fi
        if xmllint --noout "$work/docs/ResultadoHoravelcentro.xml" 2>/dev/null; then ok; else fail "importar: resultado no es XML"; fi
        if [ -s "$work/informe-imp.txt" ]; then ok; else fail "importar: informe vacío"; fi

        # SOLUC without the working tables: the run stops on the missing table and writes nothing.
        mkdir -p "$work/ktemp-solo" "$work/solo"
        cp "$folder/SOLUC.DBF" "$work/ktemp-solo/"
        cp "$sample" "$work/solo/centro.xml"
        run importar "$work/solo/centro.xml" --carpeta "$work/ktemp-solo"
        expect_status "importar sin tablas de trabajo" 1
        expect_text "importar sin tablas de trabajo" err "GRUPOST"
        if [ -e "$work/solo/ResultadoHoravelcentro.xml" ]; then fail "importar sin tablas: resultado escrito"; else ok; fi
    else
        fail "gen_soluc no ha podido escribir SOLUC.DBF"
    fi
else
    echo "(gen_soluc no está compilado: se omite importar con solución)"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
