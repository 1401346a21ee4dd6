#!/usr/bin/python3
"""Reads the program's windows as a screen reader does, through AT-SPI, at every stop of the
page tour (tests/a11y/pagetour.cpp), and fails when a control that a user can reach has no
name. Run it through tests/a11y/run.sh, which gives it a display and a session bus.

    walk.py TOUR_PROGRAM

A control counts when it is a window, a button, toggle, check box, radio button, text box,
combo box, spin box, slider, table, list, tab or picture, or takes the keyboard focus (a frame
is only a frame: the toolkit calls its panels so). Table cells
and list items are named by their own text and are not counted; a blank cell is a blank cell.
"""

import os
import select
import subprocess
import sys
import time

# Imported once the accessibility bus is known to answer (see main): pyatspi connects on import.
pyatspi = None

STOP_SECONDS = 90
REGISTER_SECONDS = 30
BUS_SECONDS = 20
# More children than this are not walked one by one: only the first ones are looked at.
MAX_CHILDREN = 400


def roles():
    """The roles that must be named and the item roles, once pyatspi is loaded."""
    named = {
        pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX,
        pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_PASSWORD_TEXT,
        pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_SLIDER, pyatspi.ROLE_TABLE,
        pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TREE, pyatspi.ROLE_LIST, pyatspi.ROLE_LIST_BOX,
        pyatspi.ROLE_PAGE_TAB, pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_CHECK_MENU_ITEM,
        pyatspi.ROLE_RADIO_MENU_ITEM, pyatspi.ROLE_LINK, pyatspi.ROLE_IMAGE,
    }
    items = {
        pyatspi.ROLE_TABLE_CELL, pyatspi.ROLE_LIST_ITEM, pyatspi.ROLE_TREE_ITEM,
        pyatspi.ROLE_COLUMN_HEADER, pyatspi.ROLE_ROW_HEADER, pyatspi.ROLE_TABLE_COLUMN_HEADER,
        pyatspi.ROLE_TABLE_ROW_HEADER,
    }
    return named, items


NAMED_ROLES = ITEM_ROLES = frozenset()


def role_name(obj):
    try:
        return obj.getRoleName()
    except Exception:  # an object that went away while being read
        return "?"


def describe(path, obj):
    """Where a control is, for a developer who has to find it: the named ancestors and the place."""
    try:
        extents = obj.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        place = f" en ({extents.x},{extents.y}) {extents.width}x{extents.height}"
    except Exception:
        place = ""
    return " > ".join(path) + f" > [{role_name(obj)}]" + place


def needs_name(role, states, depth):
    if depth == 0:  # a window
        return True
    if role in ITEM_ROLES:
        return False
    if role in NAMED_ROLES:
        return True
    return states.contains(pyatspi.STATE_FOCUSABLE)


def walk(obj, path, found, depth=0):
    """Every showing object under obj; found gets (description, name, description text)."""
    try:
        states = obj.getState()
        role = obj.getRole()
        name = (obj.name or "").strip()
        text = (obj.description or "").strip()
    except Exception:
        return
    if depth > 0 and not states.contains(pyatspi.STATE_SHOWING):
        return
    if needs_name(role, states, depth):
        found.append((describe(path, obj), name, text))
    label = f"{role_name(obj)} «{name}»" if name else role_name(obj)
    try:
        count = obj.childCount
    except Exception:
        return
    for i in range(min(count, MAX_CHILDREN)):
        try:
            child = obj.getChildAtIndex(i)
        except Exception:
            continue
        if child is not None:
            walk(child, path + [label], found, depth + 1)


def application_of(pid):
    deadline = time.monotonic() + REGISTER_SECONDS
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except Exception:
                pass
        time.sleep(0.2)
    return None


def showing_windows(app):
    app.clearCache()
    windows = []
    for i in range(app.childCount):
        window = app.getChildAtIndex(i)
        if window is not None and window.getState().contains(pyatspi.STATE_SHOWING):
            windows.append(window)
    return windows


def find_tables(obj, depth=0):
    try:
        if depth > 0 and not obj.getState().contains(pyatspi.STATE_SHOWING):
            return []
        if obj.getRole() == pyatspi.ROLE_TABLE:
            return [obj]
        return [t for i in range(min(obj.childCount, MAX_CHILDREN))
                for t in find_tables(obj.getChildAtIndex(i), depth + 1)]
    except Exception:
        return []


def check_worksheet(windows):
    """The worksheet grid reports its cells: rows, columns, headers and marks by name."""
    problems = []
    sheets = [w for w in windows if w.getRole() == pyatspi.ROLE_DIALOG and w.name.startswith("Planilla")]
    if not sheets:
        return ["no se ve la ventana de la planilla"]
    tables = [t for t in find_tables(sheets[0]) if t.name]
    grids = [t for t in tables if "Planilla" in t.name or "planilla" in t.name]
    if not grids:
        return ["la planilla no muestra ninguna tabla con nombre (la cuadrícula Gr no es una tabla)"]
    grid = grids[0]
    table = grid.queryTable()
    print(f"    tabla «{grid.name}»: {table.nRows} filas x {table.nColumns} columnas")
    if table.nRows < 1 or table.nColumns < 1:
        return ["la tabla de la planilla está vacía"]
    column_header = table.getColumnHeader(0)
    row_header = table.getRowHeader(0)
    if column_header is None or not column_header.name:
        problems.append("la primera columna de la planilla no tiene encabezado con nombre")
    else:
        print(f"    encabezado de la columna 1: «{column_header.name}»")
    if row_header is None or not row_header.name:
        problems.append("la primera fila de la planilla no tiene encabezado con nombre")
    else:
        print(f"    encabezado de la fila 1: «{row_header.name}»")
    marks = []
    for r in range(table.nRows):
        for c in range(table.nColumns):
            cell = table.getAccessibleAt(r, c)
            if cell is not None and cell.name:
                marks.append((r, c, cell.name))
    if not marks:
        problems.append("ninguna celda de la planilla dice nada: las marcas no se leen")
    else:
        r, c, name = marks[0]
        print(f"    {len(marks)} marcas; la primera, fila {r + 1} columna {c + 1}: «{name}»")
    return problems


def read_line(stream, seconds):
    ready, _, _ = select.select([stream], [], [], seconds)
    if not ready:
        return None
    return stream.readline().decode("utf-8", "replace").strip()


def accessibility_bus_problem():
    """Why no reader could listen here, or None: a session bus, and the accessibility bus it starts."""
    if not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
        return "no hay bus de sesión (DBUS_SESSION_BUS_ADDRESS vacío): se corre con dbus-run-session"
    try:
        answer = subprocess.run(
            ["dbus-send", "--session", "--print-reply", f"--reply-timeout={BUS_SECONDS * 1000}",
             "--dest=org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus.GetAddress"],
            capture_output=True, text=True, timeout=BUS_SECONDS + 5)
    except (OSError, subprocess.TimeoutExpired) as e:
        return f"el bus de accesibilidad no contestó: {e}"
    if answer.returncode != 0 or "string" not in answer.stdout:
        return f"el bus de accesibilidad no contestó (at-spi2-core): {answer.stderr.strip()}"
    return None


def main():
    global pyatspi, NAMED_ROLES, ITEM_ROLES
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    problem = accessibility_bus_problem()
    if problem:
        print(problem, file=sys.stderr)
        return 1
    import pyatspi as loaded
    pyatspi = loaded
    NAMED_ROLES, ITEM_ROLES = roles()
    tour = subprocess.Popen([sys.argv[1]], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    failures = 0
    stops = 0
    app = None
    try:
        while True:
            line = read_line(tour.stdout, STOP_SECONDS)
            if line is None:
                print("el recorrido no llegó a la parada siguiente a tiempo", file=sys.stderr)
                return 1
            if line == "done" or line == "":
                break
            if not line.startswith("ready "):
                continue
            stop = line[len("ready "):]
            stops += 1
            if app is None:
                app = application_of(tour.pid)
                if app is None:
                    print("el programa no apareció en el bus de accesibilidad", file=sys.stderr)
                    return 1
            windows = showing_windows(app)
            found = []
            for window in windows:
                walk(window, [], found)
            unnamed = [where for where, name, _ in found if not name]
            problems = [f"sin nombre: {where}" for where in unnamed]
            if stop == "planilla":
                problems += check_worksheet(windows)
            status = "FALLA" if problems else "bien"
            print(f"{stop}: {len(found)} controles, {len(unnamed)} sin nombre, "
                  f"{sum(1 for _, n, d in found if n and not d)} sin descripción — {status}")
            for problem in problems:
                print(f"  {problem}")
            if os.environ.get("A11Y_VERBOSE"):
                for where, name, text in found:
                    print(f"    {where}: «{name}» / «{text}»")
            failures += bool(problems)
            sys.stdout.flush()
            tour.stdin.write(b"next\n")
            tour.stdin.flush()
    finally:
        try:
            tour.stdin.close()
        except BrokenPipeError:
            pass
        try:
            code = tour.wait(timeout=30)
        except subprocess.TimeoutExpired:
            tour.kill()
            code = -1
    if code != 0:
        print(f"el recorrido terminó con el código {code}", file=sys.stderr)
        return 1
    if stops == 0:
        print("el recorrido no mostró ninguna parada", file=sys.stderr)
        return 1
    print(f"{stops - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
