import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Window 2.12
import "code_format.js" as CodeFormat

ApplicationWindow {
    id: window
    visible: !start_hidden
    // Its smallest size to start with, stated: a window left at 0 × 0 until the platform sizes it
    // would make the Settings menu, as wide as the window allows, too narrow for its entries.
    width: minimumWidth
    height: minimumHeight
    minimumWidth: 320
    minimumHeight: 325
    maximumWidth: 420
    maximumHeight: 425
    title: "Umbrata"  // a name, the same in every language
    color: "white"
    font.family: "Verdana"

    function get_item_width(item, min_padding) {
        if (!item)
            return 0
        return item.contentItem.implicitWidth + 2 * Math.max(item.padding, min_padding)
    }

    // As wide as its widest entry.
    function get_menu_width(menu) {
        var width = 0
        for (var i = 0; i < menu.count; ++i)
            width = Math.max(width, get_item_width(menu.itemAt(i), 20))
        return width
    }

    property bool quitting: false

    // Quits even when closing would leave the program in the tray.
    function quit() {
        quitting = true
        window.close()
        Qt.quit()
    }

    function show_window() {
        show()
        raise()
        requestActivate()
    }

    // Closing the window leaves the program in the tray when the user asked for that.
    onClosing: {
        if (!quitting && settings !== null && settings.keep_in_tray && tray_host.available) {
            close.accepted = false
            hide()
        }
    }

    menuBar: MenuBar {
        id: menuBar
        property int sub_menu_pixel_size: 16
        font.family: "Verdana"
        background: Rectangle {
            color: "#f3f3f3"
        }
        delegate: MenuBarItem {
            id: menuBarItem
            enabled: menu ? menu.enabled : true
            Accessible.name: menuBarItem.text.replace("&", "")
            contentItem: Text {
                text: CodeFormat.underlined_mnemonic(menuBarItem.text)
                textFormat: Text.StyledText
                Accessible.ignored: true
                font.family: "Verdana"
                font.pixelSize: 16
                opacity: menuBarItem.enabled ? 1.0 : 0.3
                color: menuBarItem.highlighted ? "white" : "black"
                horizontalAlignment: Text.AlignLeft
                verticalAlignment: Text.AlignVCenter
                elide: Text.ElideRight
            }
            background: Rectangle {
                opacity: menuBarItem.enabled ? 1.0 : 0.3
                color: menuBarItem.highlighted ? "gray" : "transparent"
            }
        }

        Menu {
            id: menu_file
            objectName: "menu_file"
            title: qsTr("&File")
            font.family: "Verdana"
            font.pixelSize: menuBar.sub_menu_pixel_size
            width: get_item_width(menu_file.itemAt(0), 20)
            MenuItem {
                text: qsTr("Exit")
                onTriggered: window.quit()
            }
        }
        Menu {
            id: menu_settings
            objectName: "menu_settings"
            title: qsTr("&Settings")
            font.pixelSize: menuBar.sub_menu_pixel_size
            width: Math.min(get_menu_width(menu_settings), window.width - 10)
            MenuItem {
                objectName: "token_info_item"
                text: qsTr("Token Info...")
                enabled: otp_status !== null
                onTriggered: dialog_token_info.open()
            }
            MenuItem {
                objectName: "credentials_item"
                text: qsTr("Credentials...")
                enabled: otp_status !== null
                onTriggered: dialog_credentials.open()
            }
            MenuItem {
                objectName: "clear_clipboard_item"
                text: qsTr("Clear copied codes after %n s", "", main_frame !== null ? main_frame.copied_code_seconds : 0)
                checkable: true
                checked: settings !== null && settings.clear_copied_codes
                onCheckedChanged: if (settings !== null) settings.clear_copied_codes = checked
            }
            WrappingMenuItem {
                objectName: "keep_in_tray_item"
                // Where no tray exists, the entry says why it is disabled.
                text: qsTr("Keep running in the tray when the window is closed")
                      + (!tray_host.available ? "\n" + qsTr("(this desktop shows no tray icons)") : "")
                checkable: true
                enabled: tray_host.available
                checked: settings !== null && settings.keep_in_tray
                onCheckedChanged: if (settings !== null) settings.keep_in_tray = checked
            }
            MenuItem {
                objectName: "start_at_login_item"
                text: qsTr("Start at login")
                checkable: true
                checked: settings !== null && settings.start_at_login
                onToggled: settings.start_at_login = checked
            }
            // Started at login without administrator rights, which no logon task gives here: what to do
            // when the key needs them. Out of the menu's way otherwise.
            WrappingMenuItem {
                objectName: "start_at_login_note"
                text: qsTr("Umbrata starts at login without administrator rights: use Restart as administrator when the key needs them.")
                enabled: false
                visible: settings !== null && settings.start_at_login_unelevated
                height: visible ? implicitHeight : 0
            }
        }
        Menu {
            id: menu_help
            objectName: "menu_help"
            title: qsTr("&Help")
            font.pixelSize: menuBar.sub_menu_pixel_size
            width: get_item_width(menu_help.itemAt(0), 20)
            MenuItem {
                objectName: "menu_user_guide"
                text: qsTr("User Guide")
                onTriggered: user_guide_loader.show_guide()
            }
            MenuItem {
                objectName: "about_item"
                text: qsTr("About")
                onTriggered: dialog_about.open()
            }
        }
    }

    StackView {
        id: stackView
        objectName: "stackView"
        font.family: "Verdana"
        width: parent.width
        height: 230
        anchors.top: parent.top
        anchors.topMargin: 20
        initialItem: "init_page.qml"
    }

    Image {
        source: "pic/orvalin_logo.png"
        width: parent.width
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 16
        fillMode: Image.PreserveAspectFit
    }

    Connections {
        target: main_frame
        function onShow_otp_status() {
            stackView.clear()
            stackView.push(otp_status !== null ? "otp_status_view.qml" : "init_page.qml")
        }
        function onHid_change_event() {
            main_frame.rescan_key()
        }
        function onShow_window_requested() {
            window.show_window()
        }
        function onCopied() {
            copied_notice.visible = true
            copied_notice_timer.restart()
        }
    }

    // Announced by screen readers: an alert that becomes visible. Not a Label, which takes the
    // role of a static text whenever accessibility comes on.
    Rectangle {
        id: copied_notice
        objectName: "copied_notice"
        visible: false
        Accessible.role: Accessible.AlertMessage
        Accessible.name: copied_text.text
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 60
        width: copied_text.implicitWidth + 8
        height: copied_text.implicitHeight + 8
        color: "#f3f3f3"
        radius: 3
        Text {
            id: copied_text
            anchors.centerIn: parent
            text: qsTr("Copied")
            font.pixelSize: 14
            Accessible.ignored: true
        }
    }

    // Where the desktop lets the window clear the clipboard only at its next input.
    Label {
        objectName: "copied_code_left"
        visible: main_frame !== null && main_frame.copied_code_left
        text: qsTr("The copied code is still in the clipboard")
        Accessible.role: Accessible.StaticText
        Accessible.name: text
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 2
        font.pixelSize: 11
        color: "dimgray"
    }

    Timer {
        id: copied_notice_timer
        interval: 2000
        onTriggered: copied_notice.visible = false
    }

    Shortcut {
        // StandardKey.Quit is Ctrl+Q on Linux, which would make the two ambiguous: neither fires.
        sequence: "Ctrl+Q"
        onActivated: window.quit()
    }

    Shortcut {
        sequence: "F5"
        onActivated: if (main_frame !== null) main_frame.rescan_key()
    }

    // Made only once the desktop can show it: Qt asks once, when the first icon is made.
    Loader {
        active: tray_host.available
        source: "Tray.qml"
    }

    // Started hidden where no tray shows up: the window after all.
    Timer {
        interval: 15000
        running: start_hidden
        onTriggered: if (!tray_host.available) window.show_window()
    }

    LazyDialog {
        id: msg_press_mode_error
        source: "PressModeMessage.qml"
        onLoaded: item.text = qsTr("This key doesn't support it.")
    }

    LazyDialog {
        id: msg_press_mode_ok
        property string text
        source: "PressModeMessage.qml"
        onLoaded: item.text = Qt.binding(function() { return msg_press_mode_ok.text })
    }

    LazyDialog {
        id: dialog_about
        source: "AboutDialog.qml"
    }

    // Made when first asked for: the program starts without it.
    Loader {
        id: user_guide_loader
        active: false
        source: "UserGuideWindow.qml"
        function show_guide() {
            active = true
            item.show()
            item.raise()
            item.requestActivate()
        }
    }

    LazyDialog {
        id: dialog_token_info
        source: "TokenInfoDialog.qml"
    }

    LazyDialog {
        id: dialog_credentials
        source: "CredentialsDialog.qml"
    }

    Connections {
        target: otp_status
        function onPress_mode_set(on, ok) {
            if (!ok)
                return msg_press_mode_error.open()
            msg_press_mode_ok.text = on ? qsTr("Press Mode Enabled.") : qsTr("Press Mode Disabled.")
            msg_press_mode_ok.open()
        }
    }

    LazyDialog {
        id: dialog_preferences
        source: "PreferencesDialog.qml"
    }
}
