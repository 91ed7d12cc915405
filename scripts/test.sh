#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (dialog tests under Xvfb); then builds and
# runs the whole suite once more under AddressSanitizer and UndefinedBehaviorSanitizer (into
# build-asan, or $ALMADIA_ASAN_BUILD), and checks that the sources are formatted as .clang-format
# says. Every step runs even when one before it fails; the status says whether all passed.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh" || exit 1

failed=()
step() { # NAME COMMAND...
    local name=$1 start=$SECONDS
    shift
    echo "== $name"
    if "$@"; then
        echo "== $name: bien ($((SECONDS - start)) s)"
    else
        echo "== $name: FALLO ($((SECONDS - start)) s)"
        failed+=("$name")
    fi
}

run_ctest() { # BUILD_FOLDER
    (cd "$1" && xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j"$(nproc)")
}

check_format() {
    local files
    mapfile -t files < <(cd "$root" && find . -path './build*' -prune -o -path './.git' -prune -o \
        -type f \( -name '*.cpp' -o -name '*.h' \) -print | sort)
    (cd "$root" && clang-format --dry-run --Werror "${files[@]}")
}

build="${ALMADIA_BUILD:-$root/build}"
asan="${ALMADIA_ASAN_BUILD:-$root/build-asan}"

step "formato" check_format
if step "compilación" "$root/scripts/build.sh"; then
    step "pruebas" run_ctest "$build"
fi
# Built with -fno-sanitize-recover=all: any report ends the program with an error, and the test
# that ran it fails.
export UBSAN_OPTIONS="print_stacktrace=1"
# Leak checks stay on; tests/lsan.supp names the system libraries whose leaks are not ours.
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
if step "compilación con sanitizadores" env ALMADIA_BUILD="$asan" "$root/scripts/build.sh" -DALMADIA_SANITIZE=ON; then
    step "pruebas con sanitizadores" run_ctest "$asan"
fi

if ((${#failed[@]})); then
    echo "Fallaron: ${failed[*]}"
    exit 1
fi
echo "Todo bien."
