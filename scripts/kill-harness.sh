#!/usr/bin/env bash
# Kills the program's writing operations and the tables tool's import at every system call
# that writes (strace's fault injection) and at random moments, then checks what is left:
#   scripts/kill-harness.sh [--short] [--random N] [--only OPERATION] [BUILD_DIR]
# After every kill: `vantolia-tablas verificar` accepts the folder, SQLite's integrity check
# passes on every table, and every file holds either its state before the operation or its
# state after it. The operation is then run again to its end: it must succeed and leave no
# temporary file behind (SQLite's super-journal of a two-table batch, which it leaves itself
# after some kills, is counted apart). An import killed at any moment leaves no tables or all five, and the
# next import finishes the job. --short tries every fifth system call and fewer random moments,
# for the test command. The count of kills and every failure are printed; any failure makes the
# script fail.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
short=0
random=12
operations="post insert delete link save settings importar"
build="$root/build"
while [ $# -gt 0 ]; do
  case "$1" in
    --short) short=1; random=2 ;;
    --random) random="$2"; shift ;;
    --only) operations="$2"; shift ;;
    *) build="$1" ;;
  esac
  shift
done
driver="$build/tests/vantolia-killdriver"
tool="$build/tools/vantolia-tablas"
collation="$build/tests/libvantolia_es_collation.so"
for program in "$driver" "$tool" "$collation"; do
  [ -e "$program" ] || { echo "Falta $program: compile antes (cmake --build $build)" >&2; exit 2; }
done
for command in strace sqlite3; do
  command -v "$command" >/dev/null || { echo "Falta $command (apt-get install $command)" >&2; exit 2; }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
# The calls that change what is on the disk.
calls=(write pwrite64 fsync fdatasync ftruncate rename renameat2 unlink unlinkat link linkat mkdir rmdir)
kills=0
failures=0
orphans=0
tables=(Flores Sintomas Rel RepSint RepFlor)

# What a killed run left, when a check then fails, is kept in BUILD_DIR/kill-harness/.
kept="$build/kill-harness"
rm -rf "$kept"
fail() {
  echo "FALLO: $*" >&2
  failures=$((failures + 1))
  if [ -n "${inspected:-}" ] && [ -d "$inspected" ]; then
    mkdir -p "$kept"
    cp -a "$inspected" "$kept/fallo-$failures"
    echo "  lo que quedó: $kept/fallo-$failures" >&2
  fi
}

# What a file holds, for comparing states: a table's rows as SQL, any other file's digest.
state_of() {
  local file="$1"
  case "$file" in
    *.db) sqlite3 "$file" .dump 2>&1 | md5sum | cut -d' ' -f1 ;;
    *) if [ -e "$file" ]; then md5sum <"$file" | cut -d' ' -f1; else echo ausente; fi ;;
  esac
}

# The files an operation may change. The working tables RepSint and RepFlor are emptied at
# every start, so only their soundness counts.
watched=(Flores.db Sintomas.db Rel.db Repertorio/caso.Dat Config.Dat)

# The folder every run starts from: the test catalogue, a stored selection and a settings file.
base="$work/base"
"$tool" importar "$root/tests/data" "$base" >/dev/null
mkdir "$base/Repertorio"
printf '\004\000\000\000' >"$base/Repertorio/caso.Dat"
printf '10\r\n20\r\n1024\r\n720\r\n280\r\n154\r\n392\r\n236\r\n218\r\n395\r\n327\r\n296\r\n2\r\n10\r\n' >"$base/Config.Dat"
declare -A before after names
for f in "${watched[@]}"; do before[$f]="$(state_of "$base/$f")"; done

# Every name in a folder and below it. A rollback journal that SQLite would not play back (empty,
# or with its header cleared once the transaction was over), which a kill can leave before SQLite
# removes it, is not counted: the next write reuses it.
names_in() {
  local name
  (cd "$1" && find . -mindepth 1 | LC_ALL=C sort) | while read -r name; do
    case "$name" in
      *-journal) [ "$(head -c 8 "$1/$name" | od -An -tx1 | tr -d ' \n')" = d9d505f920a163d7 ] || continue ;;
    esac
    echo "$name"
  done
}

check() {
  local folder="$1" operation="$2" how="$3"
  local out
  # As the kill left it, before any check opens a table.
  inspected="$work/killed"
  rm -rf "$inspected"
  cp -a "$folder" "$inspected"
  if ! out="$("$tool" verificar "$folder" 2>&1)"; then
    fail "$operation, $how: verificar: $out"
  fi
  for t in "${tables[@]}"; do
    out="$(sqlite3 -cmd ".load $collation" "$folder/$t.db" 'PRAGMA integrity_check' 2>&1)"
    [ "$out" = ok ] || fail "$operation, $how: $t.db: $out"
  done
  for f in "${watched[@]}"; do
    local now
    now="$(state_of "$folder/$f")"
    if [ "$now" != "${before[$f]}" ] && [ "$now" != "${after[$operation,$f]}" ]; then
      fail "$operation, $how: $f no tiene ni el estado anterior ni el nuevo"
    fi
  done
  # Unless the killed run had finished, doing it again succeeds and brings every file to its
  # new state; nothing of the killed run is left.
  local done=1
  for f in "${watched[@]}"; do
    [ "$(state_of "$folder/$f")" = "${after[$operation,$f]}" ] || done=0
  done
  if [ "$done" = 0 ]; then
    if ! out="$("$driver" "$operation" "$folder" 2>&1)"; then
      fail "$operation, $how: repetida, falla: $out"
    fi
    for f in "${watched[@]}"; do
      [ "$(state_of "$folder/$f")" = "${after[$operation,$f]}" ] || fail "$operation, $how: repetida, $f no queda como debe"
    done
  fi
  out="$(diff <(echo "${names[$operation]}") <(names_in "$folder") | grep '^[<>]' || true)"
  # A kill while a batch over two tables commits may leave SQLite's super-journal, the list of
  # the tables' journals, with no journal pointing to it: it holds no rows and SQLite never
  # removes it; the program's next batch led by that table does. One still there once the
  # operation was done again is counted and shown apart from the failures.
  local orphan
  orphan="$(grep -E '^> \./[A-Za-z]+\.db-mj[0-9A-F]+$' <<<"$out" || true)"
  if [ -n "$orphan" ]; then
    orphans=$((orphans + 1))
    echo "Aviso: $operation, $how: queda el super-journal de SQLite ${orphan#> ./}" >&2
    out="$(grep -vE '^> \./[A-Za-z]+\.db-mj[0-9A-F]+$' <<<"$out" || true)"
  fi
  [ -z "$out" ] || fail "$operation, $how: otros archivos que tras la operación completa: $out"
}

fresh() {
  rm -rf "$work/run"
  cp -a "$base" "$work/run"
}

# Per system call, how many times a complete run makes it.
count_calls() {
  local log="$work/strace.log"
  strace -f -qq -o "$log" -e trace="$(IFS=,; echo "${calls[*]}")" "$@" >/dev/null 2>&1
  for c in "${calls[@]}"; do
    printf '%s %s\n' "$c" "$(grep -cE "^([0-9]+ +)?$c\(" "$log" || true)"
  done
}

# Runs a command that may be killed; the shell's own notice of the kill is not wanted either.
# Whatever kills it waits for it to be gone: timeout --foreground reaps what it killed, and
# strace sees its tracee die, so no dying run still holds a lock when the checks begin.
killed() {
  ("$@" >/dev/null 2>&1 || true) 2>/dev/null
}

# Milliseconds as timeout takes them.
seconds() {
  printf '%d.%03d' $(($1 / 1000)) $(($1 % 1000))
}

# Milliseconds a complete run takes.
duration_ms() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}

for operation in $operations; do
  [ "$operation" = importar ] && continue
  fresh
  out="$("$driver" "$operation" "$work/run" 2>&1)" || { fail "$operation: sin matar, falla: $out"; continue; }
  for f in "${watched[@]}"; do after[$operation,$f]="$(state_of "$work/run/$f")"; done
  names[$operation]="$(names_in "$work/run")"
  n=0
  fresh
  count_calls "$driver" "$operation" "$work/run" >"$work/calls"
  while read -r call times; do
    for ((i = 1; i <= times; i++)); do
      [ "$short" = 1 ] && [ $((i % 5)) -ne 1 ] && continue
      fresh
      killed strace -f -qq -o /dev/null -e trace="$call" -e inject="$call:signal=KILL:when=$i" \
        "$driver" "$operation" "$work/run"
      kills=$((kills + 1)); n=$((n + 1))
      check "$work/run" "$operation" "$call n.º $i"
    done
  done <"$work/calls"
  fresh
  total=$(duration_ms "$driver" "$operation" "$work/run")
  for ((i = 0; i < random; i++)); do
    fresh
    at=$((RANDOM % (total + 1) + 1))
    killed timeout --foreground -s KILL "$(seconds "$at")" "$driver" "$operation" "$work/run"
    kills=$((kills + 1)); n=$((n + 1))
    check "$work/run" "$operation" "a los $at ms"
  done
  echo "$operation: $n muertes"
done

# The import of the tables tool into a new folder.
case " $operations " in
  *" importar "*) ;;
  *) echo "Total: $kills muertes, $failures fallos, $orphans super-journals sueltos"; [ "$failures" -eq 0 ]; exit ;;
esac
import_check() {
  local target="$1" how="$2" present=0 out
  for t in "${tables[@]}"; do [ -e "$target/$t.db" ] && present=$((present + 1)); done
  if [ "$present" -ne 0 ] && [ "$present" -ne 5 ]; then
    fail "importar, $how: quedan $present de las 5 tablas"
  fi
  if [ "$present" -eq 5 ]; then
    out="$("$tool" verificar "$target" 2>&1)" || fail "importar, $how: verificar: $out"
  fi
  if [ "$present" -eq 0 ]; then
    out="$("$tool" importar "$root/tests/data" "$target" 2>&1)" || fail "importar, $how: la siguiente importación falla: $out"
  fi
  out="$(ls -A "$(dirname "$target")")"
  [ "$out" = "$(basename "$target")" ] || fail "importar, $how: quedan otros archivos: $out"
}
n=0
rm -rf "$work/imp"; mkdir "$work/imp"
count_calls "$tool" importar "$root/tests/data" "$work/imp/cat" >"$work/calls"
while read -r call times; do
  for ((i = 1; i <= times; i++)); do
    [ "$short" = 1 ] && [ $((i % 5)) -ne 1 ] && continue
    rm -rf "$work/imp"; mkdir "$work/imp"
    killed strace -f -qq -o /dev/null -e trace="$call" -e inject="$call:signal=KILL:when=$i" \
      "$tool" importar "$root/tests/data" "$work/imp/cat"
    kills=$((kills + 1)); n=$((n + 1))
    import_check "$work/imp/cat" "$call n.º $i"
  done
done <"$work/calls"
rm -rf "$work/imp"; mkdir "$work/imp"
total=$(duration_ms "$tool" importar "$root/tests/data" "$work/imp/cat")
for ((i = 0; i < random; i++)); do
  rm -rf "$work/imp"; mkdir "$work/imp"
  at=$((RANDOM % (total + 1) + 1))
  killed timeout --foreground -s KILL "$(seconds "$at")" "$tool" importar "$root/tests/data" "$work/imp/cat"
  kills=$((kills + 1)); n=$((n + 1))
  import_check "$work/imp/cat" "a los $at ms"
done
echo "importar: $n muertes"

echo "Total: $kills muertes, $failures fallos, $orphans super-journals sueltos"
[ "$failures" -eq 0 ]
