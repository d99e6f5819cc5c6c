#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs (quick when they are already installed).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libqpdf-dev qpdf
  qt6-base-dev qt6-qpa-plugins libpoppler-qt6-dev
  libcups2-dev cups cups-client cups-bsd
  fonts-urw-base35
  libgtest-dev libgmock-dev libbenchmark-dev
  poppler-utils libnss3-tools xvfb xauth
  locales bc e2fsprogs
  clang libclang-rt-14-dev clang-format
  python3-pyatspi at-spi2-core dbus imagemagick
  lintian devscripts file appstream mandoc
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  if [[ $(id -u) -ne 0 ]]; then
    echo "Installing: ${missing[*]} (needs root; run with sudo)" >&2
    exec sudo "$0" "$@"
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# A locale with a decimal comma, so that tests can show numbers in pages stay locale-independent,
# and one whose month names have no Windows-1252 form.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf8$' || ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf8$'; then
  if [[ $(id -u) -eq 0 ]] && [[ -f /etc/locale.gen ]]; then
    sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/; s/^# *fr_FR.UTF-8 UTF-8/fr_FR.UTF-8 UTF-8/; s/^# *ru_RU.UTF-8 UTF-8/ru_RU.UTF-8 UTF-8/' /etc/locale.gen
    locale-gen >/dev/null 2>&1 || true
  fi
fi
