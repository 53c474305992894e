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

    readonly property var rows: credentials !== null ? credentials.rows : []
    readonly property var codes: credentials !== null ? credentials.codes : ({})
    readonly property bool touch_needed: credentials !== null && credentials.touch_needed
    property bool open: false
    // Chosen before its code arrived (press mode): copied when it does.
    property string picked: ""

    function totp_serials() {
        return rows.filter(function(c) { return c.totp }).map(function(c) { return c.serial })
    }

    // A key in press mode would wait for a touch for each code: only the chosen one is asked for.
    function watch() {
        if (credentials === null)
            return
        credentials.watch("tray", open && !touch_needed ? totp_serials() : [])
        credentials.watch("tray_pick", picked !== "" ? [picked] : [])
    }

    function entry_text(c) {
        if (!c.totp)
            return c.serial + "   " + qsTr("HOTP: a code would count up the key")
        var code = codes[c.serial]
        if (code !== undefined && code.otp !== undefined)
            return c.serial + "   " + CodeFormat.pad(code.otp, code.digits, " ")
        return c.serial + "   " + (touch_needed ? qsTr("Touch the key for the code") : "…")
    }

    function copy_picked() {
        var code = codes[picked]
        if (code === undefined || code.otp === undefined)
            return
        main_frame.copy_to_clipboard(CodeFormat.pad(code.otp, code.digits, ""))
        picked = ""
        watch()
    }

    onRowsChanged: watch()
    onTouch_neededChanged: watch()
    onCodesChanged: if (picked !== "") copy_picked()

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
            if (credentials !== null)
                credentials.refresh()
            tray.watch()
        }
        onAboutToHide: {
            tray.open = false
            tray.watch()
        }

        Instantiator {
            model: tray.rows
            delegate: Platform.MenuItem {
                // A menu item takes & as its mnemonic's mark: a serial number's own is doubled.
                text: tray.entry_text(modelData).replace(/&/g, "&&")
                enabled: modelData.totp
                onTriggered: {
                    tray.picked = modelData.serial
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
            visible: main_frame !== null && main_frame.key_needs_administrator && main_frame.can_restart_as_administrator
            onTriggered: main_frame.restart_as_administrator()
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
