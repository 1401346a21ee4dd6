#!/usr/bin/env bash
# Fails when a source folder includes from a folder above it or beside it: the folders of src/
# form a stack, and each one may use only the ones below it.
set -euo pipefail
cd "$(dirname "$0")/../src"

layers=(store widgets catalogue ui "repertory maintenance" app)
declare -A rank
for i in "${!layers[@]}"; do
  for folder in ${layers[$i]}; do rank[$folder]=$i; done
done

status=0
for folder in */; do
  folder=${folder%/}
  if [ -z "${rank[$folder]+set}" ]; then
    echo "src/$folder: folder has no place in the stack (scripts/check-includes.sh)"
    status=1
    continue
  fi
  while IFS=: read -r file line text; do
    used=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^/"]+)\/.*/\1/' <<<"$text")
    [ "$used" = "$folder" ] && continue
    [ -z "${rank[$used]+set}" ] && continue
    if [ "${rank[$used]}" -ge "${rank[$folder]}" ]; then
      echo "$file:$line: src/$folder may not include from src/$used"
      status=1
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^/"]+/' "$folder" --include='*.h' --include='*.cpp' --include='*.ui' || true)
  # Forms name their promoted widgets' headers the same way.
  while IFS=: read -r file line text; do
    used=$(sed -E 's/.*<header>([^/<]+)\/.*/\1/' <<<"$text")
    [ "$used" = "$folder" ] && continue
    [ -z "${rank[$used]+set}" ] && continue
    if [ "${rank[$used]}" -ge "${rank[$folder]}" ]; then
      echo "$file:$line: src/$folder may not include from src/$used"
      status=1
    fi
  done < <(grep -rnE '<header>[^/<]+/' "$folder" --include='*.ui' || true)
done
[ $status -eq 0 ] && echo "Folders depend downward only."
exit $status
