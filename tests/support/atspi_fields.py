#!/usr/bin/python3
"""Lists the boxes of an application's windows as the accessibility bus shows them.

    atspi_fields.py APPLICATION-NAME

Prints JSON: one object per top-level window, {"title", "fields"}, each field
{"role", "name", "text", "showing"} for every combo box, text box (a combo
box's edit line too) and list, but not a combo box's popup list. "text" is
what the box holds: a text box's text, a combo box's edit line, a list's
selected entry. Waits up to 20 s for the application to appear on the bus.
"""

import json
import sys
import time

import pyatspi
from gi.repository import Atspi

FIELD_ROLES = {
    pyatspi.ROLE_COMBO_BOX: "combo box",
    pyatspi.ROLE_TEXT: "text",
    pyatspi.ROLE_ENTRY: "text",
    pyatspi.ROLE_PASSWORD_TEXT: "text",
    pyatspi.ROLE_LIST: "list",
    pyatspi.ROLE_LIST_BOX: "list",
}


def find_application(name, timeout_s=20.0):
    deadline = time.monotonic() + timeout_s
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name == name:
                return app
        time.sleep(0.2)
    return None


def text_of(node):
    try:
        text = node.queryText()
        return text.getText(0, -1)
    except NotImplementedError:
        pass
    for child in node:
        if child is not None and child.getRole() in (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY):
            return text_of(child)
    for child in node:
        if child is not None and child.getState().contains(pyatspi.STATE_SELECTED):
            return child.name
    return ""


def fields_under(node, inside_combo=False):
    for child in node:
        if child is None:
            continue
        role = child.getRole()
        popup_list = inside_combo and FIELD_ROLES.get(role) == "list"
        if role in FIELD_ROLES and not popup_list:
            yield {
                "role": FIELD_ROLES[role],
                "name": child.name,
                "text": text_of(child),
                "showing": child.getState().contains(pyatspi.STATE_SHOWING),
            }
        yield from fields_under(child, inside_combo or role == pyatspi.ROLE_COMBO_BOX)


def main():
    Atspi.set_timeout(1000, 15000)
    app = find_application(sys.argv[1])
    if app is None:
        sys.exit("application %s not on the accessibility bus" % sys.argv[1])
    windows = [{"title": w.name, "fields": list(fields_under(w))} for w in app if w is not None]
    json.dump(windows, sys.stdout)


main()
