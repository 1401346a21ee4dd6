#!/usr/bin/env bash
# Installs a build into a folder of its own (as `cmake --install` does for the package) and
# checks what arrived: every file in its Debian place, the icons at their sizes, the desktop
# entry and AppStream data valid, the starter catalogue sound, and the installed program making
# a user's data folder from it the first time it starts from the menu.
#   scripts/check-install.sh BUILD_DIR WORK_DIR
set -euo pipefail
build=$(realpath "$1")
work=$(realpath -m "$2")
id=org.quenstrel.Vantolia

rm -rf "$work"
mkdir -p "$work"
DESTDIR="$work/root" cmake --install "$build" --prefix /usr >"$work/install.log"
usr="$work/root/usr"

status=0
fail() { echo "FALLA: $*"; status=1; }

expected=(
  bin/vantolia bin/vantolia-tablas
  "share/applications/$id.desktop"
  "share/metainfo/$id.metainfo.xml"
  "share/icons/hicolor/scalable/apps/$id.svg"
)
for table in Flores Sintomas Rel RepSint RepFlor; do
  expected+=("share/vantolia/starter/$table.db")
done
for file in "${expected[@]}"; do
  [ -f "$usr/$file" ] || fail "no se instaló $file"
done
for program in vantolia vantolia-tablas; do
  [ -x "$usr/bin/$program" ] || fail "$program no es ejecutable"
done

for size in 16 32 48 64 128 256; do
  png="$usr/share/icons/hicolor/${size}x${size}/apps/$id.png"
  if [ ! -f "$png" ]; then
    fail "falta el icono de ${size}x${size}"
  elif [ "$(identify -format '%wx%h' "$png")" != "${size}x${size}" ]; then
    fail "el icono de ${size}x${size} mide $(identify -format '%wx%h' "$png")"
  fi
done

# The help, whatever the source tree holds of it, goes with the starter catalogue.
source_dir=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt")
if [ -d "$source_dir/docs/ayuda" ]; then
  differences=$(diff -r "$source_dir/docs/ayuda" "$usr/share/vantolia/starter" | grep -v "^Only in $usr" || true)
  [ -z "$differences" ] || fail "la ayuda instalada no es la de docs/ayuda: $differences"
fi

appstreamcli validate --no-net "$usr/share/metainfo/$id.metainfo.xml" >"$work/appstream.log" 2>&1 \
  || { cat "$work/appstream.log"; fail "appstreamcli rechaza los metadatos"; }
appstreamcli validate-tree --no-net "$work/root" >"$work/appstream-tree.log" 2>&1 \
  || { cat "$work/appstream-tree.log"; fail "appstreamcli rechaza lo instalado"; }
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$usr/share/applications/$id.desktop" || fail "la entrada del menú no es válida"
fi
grep -qx 'Exec=vantolia' "$usr/share/applications/$id.desktop" || fail "la entrada del menú no inicia vantolia"

export QT_QPA_PLATFORM=offscreen
"$usr/bin/vantolia-tablas" verificar "$usr/share/vantolia/starter" >"$work/verificar.log" 2>&1 \
  || { cat "$work/verificar.log"; fail "el catálogo inicial instalado no pasa la verificación"; }

# Started from the menu: no folder, the home folder as the current one, no XDG_DATA_HOME.
home="$work/home"
mkdir -p "$home"
# Still running when the time is up means the window opened (or an error box waits for OK).
run_from_menu() {
  local seconds=$1
  shift
  (cd "$home" && env -u XDG_DATA_HOME HOME="$home" timeout "$seconds" "$usr/bin/vantolia" "$@") \
    >"$work/vantolia.out" 2>&1 || echo $?
}
code=$(run_from_menu 8)
[ "$code" = 124 ] || { cat "$work/vantolia.out"; fail "vantolia terminó ($code) en vez de quedar abierto"; }
data="$home/.local/share/vantolia"
# A copy of the starter catalogue; the program has emptied the two working tables since.
(cd "$usr/share/vantolia/starter" && find . -type f) | while read -r file; do
  case "$file" in
    ./RepSint.db | ./RepFlor.db) [ -f "$data/$file" ] ;;
    *) cmp -s "$usr/share/vantolia/starter/$file" "$data/$file" ;;
  esac || echo "$file"
done >"$work/not-copied"
[ -s "$work/not-copied" ] && fail "la carpeta de datos $data no tiene la copia de: $(cat "$work/not-copied")"
leftovers=$(find "$home/.local/share" -mindepth 1 -maxdepth 1 ! -name vantolia)
[ -z "$leftovers" ] || fail "quedaron restos junto a la carpeta de datos: $leftovers"

# A folder named on the command line that does not exist is reported, not made.
run_from_menu 3 "$work/no-existe" >/dev/null
grep -q 'vantolia: La carpeta de trabajo .*no-existe no existe' "$work/vantolia.out" \
  || { cat "$work/vantolia.out"; fail "vantolia no avisa de la carpeta que no existe"; }
[ ! -e "$work/no-existe" ] || fail "vantolia creó la carpeta que no existía"

[ $status -eq 0 ] && echo "Instalación completa y en orden."
exit $status
