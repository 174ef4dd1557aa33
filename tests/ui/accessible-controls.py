#!/usr/bin/python3
"""Prints, as JSON, what a screen reader hears of every control a keyboard
can reach in the window of the given title: its role, name, the names of the
labels it is labelled by, its description and what it shows (its text,
number or chosen item). Read through AT-SPI, as
Orca reads it; waits up to 20 s for the window to appear on the bus.

    accessible-controls.py TITLE PID
"""
import json
import sys
import time

import pyatspi

title, pid = sys.argv[1], int(sys.argv[2])


def find_window():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is None:
            continue
        try:
            if app.get_process_id() != pid:
                continue
        except Exception:
            continue
        for window in app:
            if window is not None and window.name == title:
                return window
    return None


def shown(node):
    try:
        text = node.queryText()
        return text.getText(0, text.characterCount)
    except NotImplementedError:
        pass
    try:
        return str(int(node.queryValue().currentValue))
    except NotImplementedError:
        pass
    try:
        selection = node.querySelection()
        if selection.nSelectedChildren > 0:
            return selection.getSelectedChild(0).name
    except NotImplementedError:
        pass
    return ""


def labels(node):
    names = []
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            names += [relation.getTarget(i).name for i in range(relation.getNTargets())]
    return names


def walk(node, found):
    for child in node:
        if child is None:
            continue
        states = child.getState()
        if states.contains(pyatspi.STATE_FOCUSABLE) and states.contains(pyatspi.STATE_SHOWING):
            found.append({
                "role": child.getRoleName(),
                "name": child.name,
                "labelledBy": labels(child),
                "description": child.description,
                "shown": shown(child),
            })
            # The items of a combo box's list are its own, not the window's.
            if child.getRole() == pyatspi.ROLE_COMBO_BOX:
                continue
        walk(child, found)


deadline = time.monotonic() + 20
window = find_window()
while window is None and time.monotonic() < deadline:
    time.sleep(0.1)
    window = find_window()
if window is None:
    sys.exit("no window titled %r of process %d on the accessibility bus" % (title, pid))
controls = []
walk(window, controls)
print(json.dumps(controls, indent=1))
