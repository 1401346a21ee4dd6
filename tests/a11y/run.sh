#!/usr/bin/env bash
# Runs the screen-reader check: the page tour under a virtual display, with its own session bus
# and accessibility bus, read by walk.py through AT-SPI. A missing tool fails the check with
# its name rather than letting it pass unseen: scripts/dependencies.sh installs them all.
#   run.sh TOUR_PROGRAM
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
tour="$1"

# The whole check, display and buses included, ends within this many seconds whatever hangs.
limit=240

for tool in xvfb-run xauth Xvfb dbus-run-session dbus-daemon dbus-send timeout /usr/libexec/at-spi-bus-launcher; do
  if ! command -v "$tool" >/dev/null; then
    echo "falta $tool: scripts/dependencies.sh lo instala" >&2
    exit 1
  fi
done
# Debian's python, whatever python comes first on the path: pyatspi is one of its packages.
if ! timeout 30 /usr/bin/python3 -c 'import pyatspi' 2>/dev/null; then
  echo "falta python3-pyatspi: scripts/dependencies.sh lo instala" >&2
  exit 1
fi
if [ ! -x "$tour" ]; then
  echo "no está el programa del recorrido: $tour" >&2
  exit 1
fi

# The program speaks to assistive technology without waiting for a screen reader to ask.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 QT_QPA_PLATFORM=xcb
export NO_AT_BRIDGE=0 LC_ALL=C.UTF-8
# Nothing of the caller's desktop: a bus and a display of the check's own.
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS WAYLAND_DISPLAY DISPLAY
status=0
timeout -k 10 "$limit" xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
  dbus-run-session -- /usr/bin/python3 "$here/walk.py" "$tour" || status=$?
if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
  echo "la comprobación no terminó en $limit s: se cortó" >&2
fi
exit "$status"
