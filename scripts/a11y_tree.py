#!/usr/bin/python3
"""Prints the accessibility tree of a running program as a screen reader reads it over AT-SPI.

Usage: a11y_tree.py APP_NAME [WINDOW_NAME ...]
Each line: role, "name", [description], {states}, value. Only the windows named are printed
(all of the program's windows when none is named). Needs the session bus and the AT-SPI bus.
"""
import sys

import pyatspi

SHOWN_STATES = {
    pyatspi.STATE_FOCUSABLE: "focusable",
    pyatspi.STATE_FOCUSED: "focused",
    pyatspi.STATE_SELECTED: "selected",
    pyatspi.STATE_CHECKED: "checked",
    pyatspi.STATE_SENSITIVE: None,  # printed as "disabled" when missing
    pyatspi.STATE_EDITABLE: "editable",
    pyatspi.STATE_IS_DEFAULT: "default",
}


def describe(node):
    role = node.getRoleName()
    text = f'{role} "{node.name}"'
    if node.description:
        text += f" [{node.description}]"
    states = node.getState()
    shown = [label for state, label in SHOWN_STATES.items() if label and states.contains(state)]
    if not states.contains(pyatspi.STATE_SENSITIVE):
        shown.append("disabled")
    if shown:
        text += " {" + ", ".join(shown) + "}"
    try:
        value = node.queryValue()
        text += f" value={value.currentValue:g}"
    except NotImplementedError:
        pass
    try:
        content = node.queryText()
        if content.characterCount and role in ("text", "entry", "combo box"):
            text += f' text="{content.getText(0, -1)}"'
    except NotImplementedError:
        pass
    return text


def walk(node, depth, out):
    out.append("  " * depth + describe(node))
    for i in range(min(node.childCount, 200)):
        child = node.getChildAtIndex(i)
        if child is not None:
            walk(child, depth + 1, out)


def main():
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    app_name, windows = sys.argv[1], set(sys.argv[2:])
    desktop = pyatspi.Registry.getDesktop(0)
    out = []
    for app in desktop:
        if app is None or app.name.lower() != app_name.lower():
            continue
        for window in app:
            if window is not None and (not windows or window.name in windows):
                walk(window, 0, out)
    if not out:
        names = [app.name for app in desktop if app is not None]
        print(f"no window of {app_name} found among {names}", file=sys.stderr)
        return 1
    print("\n".join(out))
    return 0


if __name__ == "__main__":
    sys.exit(main())
