#!/usr/bin/env bash
# Builds the .deb and proves it on a fresh Debian 12: a bare system made with debootstrap, the
# package installed there with apt-get (which brings its dependencies from Debian), the
# installed starter catalogue verified, and the program started from the menu's way (no folder)
# as a new user, offscreen, for a few seconds.
#   scripts/test-deb.sh [FOLDER]   as root; FOLDER holds the bare system (default build-deb/debian12)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-deb"
base="$(realpath -m "${1:-$build/debian12}")"
system="$base-test"

if [ "$(id -u)" -ne 0 ]; then
  echo "test-deb.sh necesita root (debootstrap, chroot, mount)." >&2
  exit 1
fi
"$root/scripts/dependencies.sh"
for p in debootstrap dpkg-dev file; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
if [ -n "${need[*]:-}" ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVANTOLIA_BUILD_TESTS=OFF -DVANTOLIA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/vantolia_*.deb
(cd "$build" && cpack -G DEB)
deb=$(echo "$build"/vantolia_*.deb)
dpkg-deb --field "$deb" Package Version Architecture Section Maintainer Depends

# The bare system is made once and copied for each test, so every test starts from scratch.
if [ ! -x "$base/usr/bin/apt-get" ]; then
  rm -rf "$base"
  debootstrap --variant=minbase bookworm "$base" http://deb.debian.org/debian
fi
umount "$system/proc" 2>/dev/null || true
rm -rf "$system"
cp -a "$base" "$system"
mount -t proc proc "$system/proc"
trap 'umount "$system/proc" 2>/dev/null || true' EXIT
cp "$deb" "$system/tmp/"

# The help goes with the starter catalogue whenever the source has it.
help=""
[ -f "$root/docs/ayuda/index.htm" ] && help=index.htm

chroot "$system" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LC_ALL=C.UTF-8 HELP="$help" \
  /bin/bash -euo pipefail -c '
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends /tmp/vantolia_*.deb >/tmp/apt.log
  dpkg -L vantolia | grep -E "/bin/|\.desktop|metainfo|scalable|256x256"
  vantolia-tablas verificar /usr/share/vantolia/starter
  # A folder the tool makes gets the help, and the toolkit windows find their Spanish.
  vantolia-tablas crear /tmp/nueva >/dev/null
  [ -z "$HELP" ] || [ -f /tmp/nueva/index.htm ] || { echo "vantolia-tablas crear no puso la ayuda"; exit 1; }
  [ -f /usr/share/qt6/translations/qtbase_es.qm ] || { echo "falta la traducción de Qt"; exit 1; }

  useradd --create-home practicante
  status=0
  runuser -u practicante -- env HOME=/home/practicante QT_QPA_PLATFORM=offscreen \
    bash -c "cd && timeout 10 vantolia" || status=$?
  [ $status -eq 124 ] || { echo "vantolia terminó ($status) en vez de quedar abierto"; exit 1; }
  data=/home/practicante/.local/share/vantolia
  for file in Flores.db Sintomas.db Rel.db RepSint.db RepFlor.db $HELP; do
    [ -f "$data/$file" ] || { echo "falta $data/$file"; exit 1; }
  done
  [ "$(stat -c %U "$data/Flores.db")" = practicante ] || { echo "$data no es del usuario"; exit 1; }
  echo "vantolia abrió y creó $data:"
  ls "$data"
'
echo "El paquete $(basename "$deb") se instala y funciona en Debian 12 recién instalado."
