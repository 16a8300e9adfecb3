#!/usr/bin/python3
"""A real kestrow-editor on an X server, read over AT-SPI as a screen reader
reads it: the menu bar in its order with every item, and the knob table's
cells with their headers and values.

    accessibility_test.py BUILD_BIN_DIR

Run under scripts/with-xvfb and dbus-run-session (the CTest entry does); the
accessibility bus starts on demand from the session bus."""

import os
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi

MENU_BAR = ["File", "Edit", "Settings", "Device", "Help"]
# Every item the menus show for a zembraControl, by caption path.
MENU_ITEMS = [
    "File/Load/Load All Presets", "File/Load/Load Single Preset",
    "File/Save As.../Save All Presets As...", "File/Save As.../Save Single Preset As...",
    "File/Send/Send All Presets", "File/Send/Send Single Preset",
    "File/Display/Display Knob Table (4 Presets)", "File/Display/Display Knob Table (8 Presets)",
    "File/Display/Display All Parameters", "File/Display/Display All Knob Names",
    "File/Print/Print Knob Table (4 Presets)", "File/Print/Print Knob Table (8 Presets)",
    "File/Import SysEx...", "File/Export SysEx.../All Presets...",
    "File/Export SysEx.../Selected Preset...", "File/Compare with File...", "File/Library...",
    "File/Exit",
    "Edit/Copy Preset", "Edit/Paste Preset", "Edit/Paste Preset w/Clipboard",
    "Edit/Select Factory Preset", "Edit/Undo", "Edit/Redo", "Edit/Find...",
    "Settings/Device Settings",
    "Device/Get All Presets", "Device/Send Changed Presets", "Device/Verify Device",
    "Device/Verify Sent Presets", "Device/Find Fastest Delay...", "Device/MIDI Monitor",
    "Device/Learn",
    "Help/Zembra Control Help", "Help/About",
]
HEADERS = ["Knob", "Description", "Channel", "Event", "Fixed Parameter", "Init Value"]


def caption(accessible):
    # Menu items may carry their shortcut after a tab.
    return (accessible.name or "").split("\t")[0].strip()


def children(accessible):
    return [accessible.getChildAtIndex(i) for i in range(accessible.childCount)]


def find(accessible, wanted, depth=0):
    """Depth-first: the first descendant for which wanted() holds."""
    if depth > 30:
        return None
    for child in children(accessible):
        if child is None:
            continue
        if wanted(child):
            return child
        found = find(child, wanted, depth + 1)
        if found is not None:
            return found
    return None


def menu_paths(node, prefix):
    """Caption paths of the items below a menu title or item: each opens a
    (popup) menu whose children are the items."""
    paths = []
    for child in children(node):
        if child is None:
            continue
        role = child.getRole()
        if role in (pyatspi.ROLE_POPUP_MENU, pyatspi.ROLE_MENU) and not caption(child):
            paths += menu_paths(child, prefix)
        elif role != pyatspi.ROLE_SEPARATOR and caption(child):
            path = prefix + "/" + caption(child)
            paths += menu_paths(child, path) if child.childCount > 0 else [path]
    return paths


def wait_for_application(editor, log, deadline):
    while time.monotonic() < deadline:
        if editor.poll() is not None:
            log.seek(0)
            sys.exit("the editor ended early with status %d: %s"
                     % (editor.returncode, log.read().decode(errors="replace")[-2000:]))
        desktop = pyatspi.Registry.getDesktop(0)
        for app in children(desktop):
            if app is not None and app.name == "Kestrow Editor":
                # Ready once the main window shows its knob table.
                if find(app, lambda a: a.getRole() == pyatspi.ROLE_TABLE) is not None:
                    return app
        time.sleep(0.5)
    sys.exit("the editor did not appear on the accessibility bus")


def main():
    bin_dir = sys.argv[1]
    work = tempfile.mkdtemp()
    editor = None
    failures = []
    try:
        program = os.path.join(work, "program")
        os.makedirs(program)
        for name in os.listdir(bin_dir):
            if name in ("kestrow-editor", "libmididrv.so", "Info.txt") or name.startswith(
                    "FactoryPresets."):
                shutil.copy2(os.path.join(bin_dir, name), program)
        env = dict(os.environ, HOME=work, XDG_DATA_HOME=os.path.join(work, "data"),
                   XDG_CONFIG_HOME=os.path.join(work, "config"), QT_QPA_PLATFORM="xcb",
                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", JACK_NO_START_SERVER="1",
                   KESTROW_MIDIDRV=os.path.join(program, "libmididrv.so"))
        # What it says on the way out is shown if it ends early.
        log = tempfile.TemporaryFile()
        editor = subprocess.Popen([os.path.join(program, "kestrow-editor")], env=env,
                                  stdout=subprocess.DEVNULL, stderr=log)
        app = wait_for_application(editor, log, time.monotonic() + 60)

        bar = find(app, lambda a: a.getRole() == pyatspi.ROLE_MENU_BAR)
        if bar is None:
            sys.exit("no menu bar")
        titles = [caption(c) for c in children(bar) if c is not None]
        if titles != MENU_BAR:
            failures.append("menu bar reads %s" % titles)
        paths = []
        for title in children(bar):
            paths += menu_paths(title, caption(title))
        for wanted in MENU_ITEMS:
            if wanted not in paths:
                failures.append("menu item %s not found" % wanted)

        table = find(app, lambda a: a.getRole() == pyatspi.ROLE_TABLE and a.name == "Knob table")
        if table is None:
            sys.exit("no knob table")
        grid = table.queryTable()
        if (grid.nRows, grid.nColumns) != (17, 6):
            failures.append("the knob table has %d x %d cells" % (grid.nRows, grid.nColumns))
        headers = [grid.getColumnDescription(c) for c in range(grid.nColumns)]
        if headers != HEADERS:
            failures.append("column headers read %s" % headers)
        for row in range(1, 17):
            knob = grid.getAccessibleAt(row, 0).name
            event = grid.getAccessibleAt(row, 3).name.strip()
            # The row as a whole, with what the knob sends, and each value on its own.
            if not knob.startswith("Knob %d, " % row) or not event or event not in knob:
                failures.append("row %d reads %r / event %r" % (row, knob, event))
    finally:
        if editor is not None and editor.poll() is None:
            editor.terminate()
            try:
                editor.wait(timeout=20)
            except subprocess.TimeoutExpired:
                editor.kill()
        shutil.rmtree(work, ignore_errors=True)
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
