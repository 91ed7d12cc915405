#!/usr/bin/env bash
# Installs every Debian package the project needs that is not installed yet.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  libxml2-dev libxml2-utils time
  libgtest-dev libgmock-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev libxcb1-dev qt6-translations-l10n
  xvfb xauth x11-utils xdotool
  fp-compiler fp-units-db fp-utils
  clang libclang-rt-14-dev clang-format
  fonts-liberation locales
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Instalando: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The regional date and time formats of the result document are tested in Spanish and US English.
if ! locale -a 2>/dev/null | grep -qi '^es_ES.utf8$' || ! locale -a 2>/dev/null | grep -qi '^en_US.utf8$'; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  for l in es_ES en_US; do
    $SUDO sed -i "s/^# *\($l.UTF-8 UTF-8\)/\1/" /etc/locale.gen
  done
  $SUDO locale-gen >/dev/null
fi
