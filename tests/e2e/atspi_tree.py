#!/usr/bin/python3
# What a screen reader gets from the programs on the accessibility bus, through AT-SPI.
#   atspi_tree.py                  one line per accessible: role | name | actions, indented by depth
#   atspi_tree.py do NAME ACTION   does the action ACTION of the first accessible named NAME
#   atspi_tree.py showing NAME     prints yes or no: whether the first accessible named NAME shows
#   atspi_tree.py shown ROLE NAME  prints "shown" each time an accessible of the role ROLE (as the
#                                  tree names it) named NAME becomes visible, until killed; it
#                                  prints "listening" first, once registered
# A fresh process each time: the client library caches what it has read.
import sys
import pyatspi


def actions(acc):
    try:
        action = acc.queryAction()
    except NotImplementedError:
        return []
    return [action.getName(i) for i in range(action.nActions)]


def walk(acc, depth=0):
    yield depth, acc
    for child in acc:
        if child is not None:
            yield from walk(child, depth + 1)


def named(name):
    found = next((acc for _, acc in walk(pyatspi.Registry.getDesktop(0)) if acc.name == name), None)
    return found if found is not None else sys.exit(f"no accessible named {name!r}")


def do_action(name, action_name):
    acc = named(name)
    names = actions(acc)
    if action_name not in names:
        sys.exit(f"{name!r} has no action {action_name!r}, only {names}")
    acc.queryAction().doAction(names.index(action_name)) or sys.exit(f"{action_name} failed")


def report_shown(role, name):
    def on_showing(event):
        if event.detail1 and event.source.getRoleName() == role and event.source.name == name:
            print("shown", flush=True)
    pyatspi.Registry.registerEventListener(on_showing, "object:state-changed:showing")
    print("listening", flush=True)
    pyatspi.Registry.start()


if sys.argv[1:2] == ["do"]:
    do_action(*sys.argv[2:4])
elif sys.argv[1:2] == ["showing"]:
    print("yes" if named(sys.argv[2]).getState().contains(pyatspi.STATE_SHOWING) else "no")
elif sys.argv[1:2] == ["shown"]:
    report_shown(*sys.argv[2:4])
else:
    for depth, acc in walk(pyatspi.Registry.getDesktop(0)):
        print(f"{'  ' * depth}{acc.getRoleName()} | {acc.name} | {' '.join(actions(acc))}")
