#!/usr/bin/python3
"""Reads a dialog of a running program through the accessibility bus (AT-SPI).

    dialog_reader.py --pid PID [--timeout SECONDS] [--screenshot FILE.png]

Waits until the program with process id PID shows a dialog, then prints one line per element,
texts as hexadecimal UTF-8 so that any text survives the trip:

    dialog <hex name> <x> <y> <width> <height>
    icon <hex name> <x> <y> <width> <height>
    label <hex text> <x> <y> <width> <height>
    button <hex name> <x> <y> <width> <height>

Only elements on screen are listed; coordinates are the screen's. With --screenshot the
dialog's area of the screen is saved as PNG and a line "screenshot <distinct colours>" follows.
Exits 0 when a dialog was found, 2 when none appeared in time.
"""

import argparse
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

DIALOG_ROLES = {Atspi.Role.ALERT, Atspi.Role.DIALOG}
KINDS = {
    Atspi.Role.ICON: "icon",
    Atspi.Role.LABEL: "label",
    Atspi.Role.PUSH_BUTTON: "button",
}


def showing(accessible):
    return accessible.get_state_set().contains(Atspi.StateType.SHOWING)


def extents(accessible):
    if "Component" not in accessible.get_interfaces():
        return (0, 0, 0, 0)
    rect = Atspi.Component.get_extents(accessible, Atspi.CoordType.SCREEN)
    return (rect.x, rect.y, rect.width, rect.height)


def find_dialog(pid):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is None or app.get_process_id() != pid:
            continue
        for j in range(app.get_child_count()):
            window = app.get_child_at_index(j)
            if window is not None and window.get_role() in DIALOG_ROLES and showing(window):
                return window
    return None


def elements(accessible):
    for i in range(accessible.get_child_count()):
        child = accessible.get_child_at_index(i)
        if child is None or not showing(child):
            continue
        kind = KINDS.get(child.get_role())
        if kind == "label":
            yield kind, Atspi.Text.get_text(child, 0, -1), extents(child)
        elif kind:
            yield kind, child.get_name(), extents(child)
        yield from elements(child)


def line(kind, text, box):
    return "%s %s %d %d %d %d" % ((kind, text.encode("utf-8").hex() or "-") + tuple(box))


def screenshot(box, path):
    gi.require_version("Gdk", "3.0")
    from gi.repository import Gdk

    # The dialog draws right after it is mapped; give it a moment to finish.
    time.sleep(0.5)
    x, y, width, height = box
    pixbuf = Gdk.pixbuf_get_from_window(Gdk.get_default_root_window(), x, y, width, height)
    pixbuf.savev(path, "png", [], [])
    pixels = pixbuf.get_pixels()
    step = pixbuf.get_n_channels()
    colours = {pixels[k:k + 3] for k in range(0, len(pixels) - 2, step)}
    return len(colours)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--pid", type=int, required=True)
    parser.add_argument("--timeout", type=float, default=20.0)
    parser.add_argument("--screenshot")
    args = parser.parse_args()

    deadline = time.monotonic() + args.timeout
    dialog = find_dialog(args.pid)
    while dialog is None or not any(kind == "button" for kind, _, _ in elements(dialog)):
        if time.monotonic() > deadline:
            print("no dialog of process %d on the accessibility bus" % args.pid, file=sys.stderr)
            return 2
        time.sleep(0.1)
        dialog = find_dialog(args.pid)

    box = extents(dialog)
    print(line("dialog", dialog.get_name(), box))
    for kind, text, where in elements(dialog):
        print(line(kind, text, where))
    if args.screenshot:
        print("screenshot %d" % screenshot(box, args.screenshot))
    return 0


if __name__ == "__main__":
    sys.exit(main())
