#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build, the tests and the program still lack.
set -euo pipefail

packages=(
  g++ make cmake pkg-config git
  qt6-base-dev libsqlite3-dev libjpeg62-turbo-dev libwmf-dev libcsv-dev
  qt6-translations-l10n # the toolkit's own file, print and preview windows in Spanish
  fonts-liberation2 fonts-dejavu-core
  xvfb xauth xdotool imagemagick sqlite3 strace
  poppler-utils # pdftotext and pdftoppm: the tests read back the PDF files the program prints
  appstream desktop-file-utils
  # The screen-reader check (tests/a11y): the accessibility bus and its Python reader
  at-spi2-core python3-pyatspi dbus-daemon dbus-bin
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Instalando: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
