import QtQuick 2.12
import QtQuick.Window 2.12
import "code_format.js" as CodeFormat

Window {
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

    property bool quitting: false
    // Where the pointer is over the menu bar, and where it was when a menu opened, in the window.
    property var pointer_over_bar: null
    property var pointer_at_menu: null

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

    // The menu bar: plain Qt Quick, drawn as the controls' style draws it. The menus under it are
    // made when one is first opened.
    Rectangle {
        id: menu_bar
        objectName: "menu_bar"
        Accessible.role: Accessible.MenuBar
        width: parent.width
        height: menu_titles.height
        color: "#f3f3f3"
        z: 1

        Row {
            id: menu_titles
            Repeater {
                id: menu_title_repeater
                model: [qsTr("&File"), qsTr("&Settings"), qsTr("&Help")]
                delegate: Item {
                    id: title
                    // As the controls' menu bar does: with its menu open, or under the pointer while no menu is.
                    readonly property bool highlighted: title_mouse.pressed || menu_open
                        || (title_mouse.containsMouse && (menus.item === null || menus.item.open_menu === null))
                    function open() {
                        menus.active = true
                        menus.item.open_under(index, title)
                        window.pointer_at_menu = window.pointer_over_bar
                    }
                    Accessible.role: Accessible.MenuItem
                    Accessible.name: modelData.replace("&", "")
                    Accessible.onPressAction: open()
                    implicitWidth: title_text.implicitWidth + 12 + 16
                    implicitHeight: title_text.implicitHeight + 12
                    width: implicitWidth
                    height: implicitHeight

                    Rectangle {
                        anchors.fill: parent
                        color: title.highlighted ? "gray" : "transparent"
                    }
                    Text {
                        id: title_text
                        x: 12
                        y: 6
                        text: CodeFormat.underlined_mnemonic(modelData)
                        textFormat: Text.StyledText
                        Accessible.ignored: true
                        font.family: "Verdana"
                        font.pixelSize: 16
                        color: title.highlighted ? "white" : "black"
                    }
                    MouseArea {
                        id: title_mouse
                        anchors.fill: parent
                        hoverEnabled: true
                        onPressed: title.open()
                        // With a menu open, the pointer over another title opens that one.
                        // Only when the pointer moves there: a menu opened from the keyboard stays open under a pointer
                        // that rests on another title.
                        onExited: window.pointer_over_bar = null
                        onPositionChanged: {
                            var at = mapToItem(null, mouse.x, mouse.y)
                            window.pointer_over_bar = at
                            var moved = window.pointer_at_menu === null || at.x !== window.pointer_at_menu.x || at.y !== window.pointer_at_menu.y
                            if (moved && menus.item !== null && menus.item.open_menu !== null && !title.menu_open)
                                title.open()
                        }
                    }
                    Shortcut {
                        sequence: "Alt+" + modelData.charAt(modelData.indexOf("&") + 1)
                        onActivated: title.open()
                    }
                    // With its menu open, Left and Right open the next menu along.
                    readonly property bool menu_open: menus.item !== null && menus.item.open_menu === menus.item.menus[index]
                    Shortcut {
                        sequence: "Left"
                        enabled: title.menu_open
                        onActivated: menu_title_repeater.itemAt((index + 2) % 3).open()
                    }
                    Shortcut {
                        sequence: "Right"
                        enabled: title.menu_open
                        onActivated: menu_title_repeater.itemAt((index + 1) % 3).open()
                    }
                }
            }
        }
    }

    Loader {
        id: menus
        objectName: "menus"
        active: false
        source: "WindowMenus.qml"
    }

    // Below the menu bar: the page, the maker's name and the notes.
    Item {
        anchors.top: menu_bar.bottom
        anchors.bottom: parent.bottom
        width: parent.width

        // With two keys or more: the one shown, and the way to the others, in the page's top margin.
        Item {
            id: key_row
            objectName: "key_row"
            readonly property var keys: main_frame !== null ? main_frame.keys : []
            readonly property int shown_at: {
                for (var i = 0; i < keys.length; ++i)
                    if (keys[i].shown)
                        return i
                return -1
            }
            readonly property string text: shown_at < 0 ? "" : CodeFormat.key_name(keys[shown_at].number, keys[shown_at].active)
            function choose(step) {
                main_frame.choose_key(keys[(shown_at + step + keys.length) % keys.length].number)
            }
            visible: keys.length >= 2 && shown_at >= 0
            width: parent.width
            height: 20
            Accessible.role: Accessible.StaticText
            Accessible.name: qsTr("%1, one of %2 keys: Ctrl+Tab shows the next").arg(text).arg(keys.length)

            Text {
                id: previous_key
                text: "‹"
                anchors.right: key_name.left
                anchors.rightMargin: 8
                anchors.verticalCenter: parent.verticalCenter
                font.family: "Verdana"
                font.pixelSize: 16
                color: "dimgray"
                Accessible.ignored: true
                MouseArea {
                    anchors.fill: parent
                    anchors.margins: -4
                    onClicked: key_row.choose(-1)
                }
            }
            Text {
                id: key_name
                objectName: "key_name"
                anchors.centerIn: parent
                // The serial number is the key's text, never markup.
                textFormat: Text.PlainText
                text: key_row.text
                font.family: "Verdana"
                font.pixelSize: 13
                color: "black"
                Accessible.ignored: true
            }
            Text {
                text: "›"
                anchors.left: key_name.right
                anchors.leftMargin: 8
                anchors.verticalCenter: parent.verticalCenter
                font: previous_key.font
                color: "dimgray"
                Accessible.ignored: true
                MouseArea {
                    anchors.fill: parent
                    anchors.margins: -4
                    onClicked: key_row.choose(1)
                }
            }
            Shortcut {
                sequence: "Ctrl+Tab"
                enabled: key_row.visible
                onActivated: key_row.choose(1)
            }
            Shortcut {
                sequence: "Ctrl+Shift+Tab"
                enabled: key_row.visible
                onActivated: key_row.choose(-1)
            }
        }

        // The page of the key, or of its absence.
        Loader {
            id: page
            objectName: "page"
            width: parent.width
            height: 230
            anchors.top: parent.top
            anchors.topMargin: 20
            source: "init_page.qml"
        }

        Image {
            source: "pic/orvalin_logo.png"
            width: parent.width
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 16
            fillMode: Image.PreserveAspectFit
        }

        Notice {
            id: copied_notice
            objectName: "copied_notice"
            text: qsTr("Copied")
            duration: 2000
        }

        // The shown key went, and this one is shown now.
        Notice {
            id: key_notice
            objectName: "key_notice"
            property int number: 0
            readonly property string active: otp_status !== null ? otp_status.serial_num : ""
            text: CodeFormat.key_name(number, active)
            duration: 4000
        }

        // Where the desktop lets the window clear the clipboard only at its next input.
        Text {
            objectName: "copied_code_left"
            visible: main_frame !== null && main_frame.copied_code_left
            text: qsTr("The copied code is still in the clipboard")
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 2
            font.family: "Verdana"
            font.pixelSize: 11
            color: "dimgray"
        }
    }

    Connections {
        target: main_frame
        function onShow_otp_status() {
            // Made afresh, as for a new key.
            page.source = ""
            page.source = otp_status !== null ? "otp_status_view.qml" : "init_page.qml"
        }
        function onHid_change_event() {
            main_frame.rescan_key()
        }
        function onShow_window_requested() {
            window.show_window()
        }
        function onCopied() {
            copied_notice.show()
        }
        // The shown key went: which key the window shows now, under its name.
        function onShown_key_replaced(number) {
            key_notice.number = number
            key_notice.show()
        }
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
        id: dialog_clock
        source: "ClockDialog.qml"
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
