#!/usr/bin/python3
# A desktop panel's StatusNotifier host, as much of one as the tray test needs, on the session bus:
#   sni_host.py serve ITEMFILE [--host-later]
#                                  the watcher: each item that registers adds "busname objectpath" to ITEMFILE;
#                                  with --host-later the panel's host registers only at SIGUSR1, as on KDE,
#                                  where the watcher comes up first. Each question for a host goes to stderr.
#   sni_host.py menu ITEMFILE      opens the item's menu: one line per entry, id TAB enabled (1/0) TAB label
#                                  ("-" for a separator)
#   sni_host.py tooltip ITEMFILE   the item's tooltip: its title, then its description
#   sni_host.py click ITEMFILE ID  clicks the menu's entry ID
import signal, sys
import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

WATCHER = "org.kde.StatusNotifierWatcher"
ITEM = "org.kde.StatusNotifierItem"
# Qt reads IsStatusNotifierHostRegistered only when the introspection data lists it, and
# dbus-python's own leaves properties out.
INTROSPECTION = f"""<node><interface name="{WATCHER}">
  <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
  <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
  <signal name="StatusNotifierHostRegistered"/>
</interface></node>"""


class Watcher(dbus.service.Object):
    def __init__(self, bus_name, item_file, host):
        super().__init__(bus_name, "/StatusNotifierWatcher")
        self.item_file = item_file
        self.properties = {"RegisteredStatusNotifierItems": dbus.Array([], signature="s"),
                           "IsStatusNotifierHostRegistered": host, "ProtocolVersion": dbus.Int32(0)}

    def register_host(self):
        self.properties["IsStatusNotifierHostRegistered"] = True
        self.StatusNotifierHostRegistered()

    @dbus.service.method(dbus.INTROSPECTABLE_IFACE, out_signature="s")
    def Introspect(self):
        return INTROSPECTION

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        print("asked", name, self.properties[name], file=sys.stderr, flush=True)
        return self.properties[name]

    # The argument is the item's bus name, its object at /StatusNotifierItem, or the path of an
    # object on the caller's own connection.
    @dbus.service.method(WATCHER, in_signature="s", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender):
        name, path = (sender, service) if service.startswith("/") else (service, "/StatusNotifierItem")
        self.properties["RegisteredStatusNotifierItems"].append(name + path)
        print(name, path, file=self.item_file, flush=True)
        self.StatusNotifierItemRegistered(name + path)

    @dbus.service.signal(WATCHER, signature="s")
    def StatusNotifierItemRegistered(self, service):
        pass

    @dbus.service.signal(WATCHER)
    def StatusNotifierHostRegistered(self):
        pass


def serve(item_file, host_later):
    DBusGMainLoop(set_as_default=True)
    # Nothing calls the object before the main loop runs, though the name is owned first.
    watcher = Watcher(dbus.service.BusName(WATCHER, dbus.SessionBus(), do_not_queue=True), open(item_file, "a"),
                      not host_later)
    if host_later:
        GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1, lambda: watcher.register_host() or True)
    else:
        watcher.StatusNotifierHostRegistered()
    GLib.MainLoop().run()


# The item's properties and its menu.
def item(item_file):
    bus = dbus.SessionBus()
    with open(item_file) as f:
        name, path = f.readline().split()
    properties = dbus.Interface(bus.get_object(name, path), dbus.PROPERTIES_IFACE)
    menu = dbus.Interface(bus.get_object(name, properties.Get(ITEM, "Menu")), "com.canonical.dbusmenu")
    return properties, menu


def show_menu(menu):
    menu.AboutToShow(0)
    _, (_, _, entries) = menu.GetLayout(0, -1, dbus.Array([], signature="s"))
    for entry_id, entry, _ in entries:
        if entry.get("visible", True):
            separator = entry.get("type") == "separator"
            enabled, label = (1, "-") if separator else (int(entry.get("enabled", True)), entry.get("label", ""))
            print(f"{entry_id}\t{enabled}\t{label}")


if sys.argv[1] == "serve":
    serve(sys.argv[2], sys.argv[3:] == ["--host-later"])
else:
    properties, menu = item(sys.argv[2])
    if sys.argv[1] == "menu":
        show_menu(menu)
    elif sys.argv[1] == "tooltip":
        print(*properties.Get(ITEM, "ToolTip")[2:], sep="\n")
    else:
        menu.Event(int(sys.argv[3]), "clicked", dbus.Int32(0, variant_level=1), dbus.UInt32(0), signature="isvu")
