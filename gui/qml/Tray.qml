import QtQuick 2.12
import Qt.labs.platform 1.1 as Platform
import "code_format.js" as CodeFormat

// The tray icon and its menu: every credential's code, one click from the notification area.
Platform.SystemTrayIcon {
    id: tray
    visible: true
    icon.source: otp_status !== null ? "qrc:/pic/tray-key.png" : "qrc:/pic/tray-no-key.png"
    tooltip: otp_status !== null && otp_status.serial_num !== "" ? qsTr("Umbrata: %1").arg(otp_status.serial_num)
             : otp_status !== null ? "Umbrata"  // a name, the same in every language
             : qsTr("Umbrata: no key")

    // Every usable key, each with its credential list: with two or more, each key's credentials
    // follow a heading that names it.
    readonly property var keys: main_frame !== null ? main_frame.keys : []
    // What the menu lists: a heading per key when there are several, then the key's credentials.
    readonly property var entries: {
        var list = []
        for (var i = 0; i < keys.length; ++i) {
            var key = keys[i]
            if (keys.length >= 2)
                list.push({heading: true, number: key.number, active: key.active})
            key.credentials.rows.forEach(function(c) {
                list.push({heading: false, number: key.number, serial: c.serial, totp: c.totp})
            })
        }
        return list
    }
    // By key number: the codes of its credential list.
    readonly property var codes: {
        var by_key = {}
        keys.forEach(function(key) { by_key[key.number] = key.credentials.codes })
        return by_key
    }
    // The numbers of the keys in press mode: each would wait for a touch for each code.
    readonly property string touch_needed: keys.filter(function(key) { return key.credentials.touch_needed })
                                               .map(function(key) { return key.number }).join(" ")
    // What the menu shows. Windows' native menu does not take changes while it is open (an entry
    // changed then is no longer drawn): there, the menu is settled as it opens, and what comes
    // later waits for the next one. Elsewhere the menu follows every change.
    readonly property bool frozen: open && Qt.platform.os === "windows"
    property var shown_entries: []
    property var shown_codes: ({})
    property var shown_active: null  // the main page's code: {number, serial, otp, digits}, or null
    function main_page_code() {
        var shown_key = keys.filter(function(key) { return key.shown })[0]
        return shown_key !== undefined && otp_status !== null && otp_status.has_code && !otp_status.hotp
                ? {number: shown_key.number, serial: otp_status.serial_num, otp: otp_status.otp, digits: otp_status.digits}
                : null
    }
    function settle() {
        if (frozen)
            return
        // The same entries anew would make every entry anew, the one just chosen among them.
        if (JSON.stringify(entries) !== JSON.stringify(shown_entries))
            shown_entries = entries
        shown_codes = codes
        shown_active = main_page_code()
    }
    property bool open: false
    // Chosen before its code arrived (press mode): {number, serial}, copied when its code arrives.
    property var picked: null

    function in_press_mode(number) {
        return touch_needed.split(" ").indexOf(String(number)) >= 0
    }

    // A key in press mode would wait for a touch for each code: only the chosen one is asked for.
    function watch() {
        keys.forEach(function(key) {
            var totp = key.credentials.rows.filter(function(c) { return c.totp }).map(function(c) { return c.serial })
            key.credentials.watch("tray", open && !in_press_mode(key.number) ? totp : [])
            key.credentials.watch("tray_pick", picked !== null && picked.number === key.number ? [picked.serial] : [])
        })
    }

    // The code of the step for the entry where one is known: its key's list's, or the main page's
    // for the shown key's active credential, so that a menu that cannot change while it is open
    // shows what there is.
    function known_code(entry, codes_by_key, active) {
        var code = (codes_by_key[entry.number] || {})[entry.serial]
        if (code !== undefined && code.otp !== undefined)
            return code
        if (active !== null && active.number === entry.number && active.serial === entry.serial)
            return active
        return undefined
    }

    function entry_text(entry) {
        if (entry.heading)
            return CodeFormat.key_name(entry.number, entry.active)
        if (!entry.totp)
            return entry.serial + "   " + qsTr("HOTP: a code would count up the key")
        var code = known_code(entry, shown_codes, shown_active)
        if (code !== undefined)
            return entry.serial + "   " + CodeFormat.pad(code.otp, code.digits, " ")
        return entry.serial + "   " + (in_press_mode(entry.number) ? qsTr("Touch the key for the code") : "…")
    }

    function copy_picked() {
        var code = known_code(picked, codes, main_page_code())
        if (code === undefined)
            return
        main_frame.copy_to_clipboard(CodeFormat.pad(code.otp, code.digits, ""))
        picked = null
        watch()
    }

    onEntriesChanged: {
        // A key that went takes its pending choice with it: the same number may come back later.
        if (picked !== null && !keys.some(function(key) { return key.number === picked.number }))
            picked = null
        settle()
        watch()
    }
    onTouch_neededChanged: watch()
    onCodesChanged: {
        settle()
        if (picked !== null)
            copy_picked()
    }
    onFrozenChanged: settle()
    // The icon takes no children: the main page's code is followed through a property.
    readonly property QtObject following_main_page: Connections {
        target: otp_status
        function onOtp_changed() { tray.settle() }
    }

    onActivated: {
        if (reason !== Platform.SystemTrayIcon.Trigger)
            return
        if (window.visible && window.active)
            window.hide()
        else
            window.show_window()
    }

    menu: Platform.Menu {
        id: tray_menu
        onAboutToShow: {
            tray.open = true
            tray.keys.forEach(function(key) { key.credentials.refresh() })
            tray.watch()
        }
        onAboutToHide: {
            tray.open = false
            tray.watch()
        }

        Instantiator {
            model: tray.shown_entries
            delegate: Platform.MenuItem {
                // A menu item takes & as its mnemonic's mark: a serial number's own is doubled.
                text: tray.entry_text(modelData).replace(/&/g, "&&")
                enabled: !modelData.heading && modelData.totp
                onTriggered: {
                    tray.picked = {number: modelData.number, serial: modelData.serial}
                    tray.watch()
                    tray.copy_picked()
                }
            }
            onObjectAdded: tray_menu.insertItem(index, object)
            onObjectRemoved: tray_menu.removeItem(object)
        }

        Platform.MenuSeparator {}

        // As the window offers it: a key that Windows lets only administrators open.
        Platform.MenuItem {
            text: qsTr("Restart as administrator")
            visible: main_frame !== null && main_frame.key_needs_administrator && administrator_restart.available
            onTriggered: administrator_restart.restart()
        }

        Platform.MenuItem {
            text: qsTr("Show Umbrata")
            onTriggered: window.show_window()
        }

        Platform.MenuItem {
            text: qsTr("Quit")
            onTriggered: window.quit()
        }
    }
}
