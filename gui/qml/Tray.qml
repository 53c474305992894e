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
    // What the menu shows. Windows' native menu does not take changes while it is open (an entry
    // changed then is no longer drawn): there, the menu is settled as it opens, and what comes
    // later waits for the next one. Elsewhere the menu follows every change.
    readonly property bool frozen: open && Qt.platform.os === "windows"
    property var shown_rows: []
    property var shown_codes: ({})
    property var shown_active: null  // the main page's code: {serial, otp, digits}, or null
    function main_page_code() {
        return otp_status !== null && otp_status.has_code && !otp_status.hotp
                ? {serial: otp_status.serial_num, otp: otp_status.otp, digits: otp_status.digits} : null
    }
    function settle() {
        if (frozen)
            return
        // The same rows anew would make every entry anew, the one just chosen among them.
        if (JSON.stringify(rows) !== JSON.stringify(shown_rows))
            shown_rows = rows
        shown_codes = codes
        shown_active = main_page_code()
    }
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

    // The code of the step for serial where one is known in list_codes: the list's, or the main
    // page's for the active credential, so that a menu that cannot change while it is open shows
    // what there is.
    function known_code(serial, list_codes, active) {
        var code = list_codes[serial]
        if (code !== undefined && code.otp !== undefined)
            return code
        if (active !== null && active.serial === serial)
            return active
        return undefined
    }

    function entry_text(c) {
        if (!c.totp)
            return c.serial + "   " + qsTr("HOTP: a code would count up the key")
        var code = known_code(c.serial, shown_codes, shown_active)
        if (code !== undefined)
            return c.serial + "   " + CodeFormat.pad(code.otp, code.digits, " ")
        return c.serial + "   " + (touch_needed ? qsTr("Touch the key for the code") : "…")
    }

    function copy_picked() {
        var code = known_code(picked, codes, main_page_code())
        if (code === undefined)
            return
        main_frame.copy_to_clipboard(CodeFormat.pad(code.otp, code.digits, ""))
        picked = ""
        watch()
    }

    onRowsChanged: {
        settle()
        watch()
    }
    onTouch_neededChanged: watch()
    onCodesChanged: {
        settle()
        if (picked !== "")
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
            if (credentials !== null)
                credentials.refresh()
            tray.watch()
        }
        onAboutToHide: {
            tray.open = false
            tray.watch()
        }

        Instantiator {
            model: tray.shown_rows
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
