import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Layouts 1.12
import "code_format.js" as CodeFormat

// Every credential on the key: a filter, the list, and below it the selected credential's code
// with the seconds left, a copy button and "Make active".
TitleDialog {
    id: dialog
    objectName: "dialog_credentials"
    titleText: "Credentials"

    readonly property QtObject model: otp_status
    readonly property var rows: filtered(model !== null ? model.credentials : [], filter.text)
    property string selected_serial: ""
    readonly property var selected: {
        for (var i = 0; i < rows.length; ++i) {
            if (rows[i].serial === selected_serial)
                return rows[i]
        }
        return null
    }
    readonly property var code: model !== null ? model.credential_code : ({})
    readonly property bool has_code: selected !== null && code.serial === selected.serial && code.otp !== undefined
    readonly property string code_text: has_code ? CodeFormat.pad(code.otp, code.digits, " ") : ""
    property int remain: 0

    function filtered(all, text) {
        var wanted = text.trim().toLowerCase()
        return all.filter(function(credential) { return credential.serial.toLowerCase().indexOf(wanted) >= 0 })
    }

    function row_text(credential) {
        return credential.serial + "  " + credential.algorithm + "  " + credential.hash + (credential.active ? "  (active)" : "")
    }

    function copy_code() {
        if (has_code)
            main_frame.copy_to_clipboard(code_text.replace(/ /g, ""))
    }

    function index_of(serial) {
        for (var i = 0; i < rows.length; ++i) {
            if (rows[i].serial === serial)
                return i
        }
        return -1
    }

    // The selection is the serial number, so that a new list or filter keeps it where it is still
    // listed. Up and Down move it; the first list selects the active credential.
    function select_row(i) {
        if (i < 0 || i >= rows.length)
            return
        selected_serial = rows[i].serial
        list.positionViewAtIndex(i, ListView.Contain)
    }

    onRowsChanged: {
        if (selected_serial !== "")
            return
        for (var i = 0; i < rows.length; ++i) {
            if (rows[i].active)
                select_row(i)
        }
    }
    onSelectedChanged: {
        if (model !== null)
            model.select_credential(selected !== null ? selected.serial : "")
    }
    onOpened: {
        selected_serial = ""
        model.refresh_credentials()
        list.forceActiveFocus()
    }
    // The key is gone: nothing left to show.
    onModelChanged: {
        if (model === null)
            close()
    }

    ColumnLayout {
        width: 270
        spacing: 6

        RowLayout {
            Layout.fillWidth: true
            TextField {
                id: filter
                objectName: "credentials_filter"
                Layout.fillWidth: true
                placeholderText: "Filter by serial number"
                Accessible.name: "Filter by serial number"
                font.pixelSize: 14
            }
            Button {
                text: "&Refresh"
                font.pixelSize: 14
                onClicked: dialog.model.refresh_credentials()
            }
        }

        ListView {
            id: list
            objectName: "credentials_list"
            Layout.fillWidth: true
            Layout.preferredHeight: 100
            clip: true
            model: dialog.rows
            keyNavigationEnabled: false
            Accessible.role: Accessible.List
            Accessible.name: "Credentials"
            ScrollBar.vertical: ScrollBar {}
            Keys.onUpPressed: dialog.select_row(Math.max(0, dialog.index_of(dialog.selected_serial) - 1))
            Keys.onDownPressed: dialog.select_row(dialog.index_of(dialog.selected_serial) + 1)
            delegate: ItemDelegate {
                width: list.width
                height: 30
                text: dialog.row_text(modelData)
                font.pixelSize: 13
                highlighted: modelData.serial === dialog.selected_serial
                onClicked: {
                    dialog.select_row(index)
                    list.forceActiveFocus()
                }
            }
        }

        RowLayout {
            Layout.alignment: Qt.AlignHCenter
            visible: dialog.has_code
            Label {
                objectName: "credential_code"
                text: dialog.code_text
                Accessible.role: Accessible.StaticText
                Accessible.name: "One-time password " + text
                font.pixelSize: 28
                leftPadding: 8
                rightPadding: 8
                background: Rectangle {
                    color: "lightgray"
                }
            }
            Button {
                Accessible.name: "Copy the code"
                Accessible.description: "Copies the selected credential's one-time password to the clipboard"
                implicitWidth: 25
                implicitHeight: 25
                padding: 0
                flat: !hovered
                hoverEnabled: true
                contentItem: Image {
                    source: "pic/clipboard-copy.png"
                    sourceSize: Qt.size(50, 50)
                    fillMode: Image.PreserveAspectFit
                }
                onClicked: dialog.copy_code()
            }
        }

        Label {
            objectName: "credential_line"
            Layout.alignment: Qt.AlignHCenter
            horizontalAlignment: Text.AlignHCenter
            Accessible.role: Accessible.StaticText
            Accessible.name: text.replace(/\n/g, " ")
            font.pixelSize: 14
            readonly property string message: dialog.model !== null ? dialog.model.credentials_message : ""
            color: message !== "" ? "red" : "black"
            text: message !== "" ? message
                : dialog.selected === null ? ""
                : !dialog.selected.totp ? "HOTP: a code would count up the key"
                : dialog.has_code ? dialog.remain + " seconds left" : ""
        }

        Button {
            id: make_active_button
            objectName: "make_active"
            Layout.alignment: Qt.AlignHCenter
            text: "Make active"
            font.pixelSize: 14
            visible: dialog.selected !== null && dialog.selected.totp
            enabled: visible && !dialog.selected.active
            // Alt+A below: Qt 5 takes a button's own mnemonic only if it is enabled when its text
            // is set, and this one is enabled by the selection.
            contentItem: Text {
                text: "Make <u>a</u>ctive"
                textFormat: Text.StyledText
                font: make_active_button.font
                color: make_active_button.palette.buttonText
                opacity: make_active_button.enabled ? 1.0 : 0.3
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
                Accessible.ignored: true
            }
            onClicked: dialog.model.make_active(dialog.selected.serial)
        }
    }

    Shortcut {
        sequence: "Alt+A"
        enabled: make_active_button.enabled
        onActivated: make_active_button.clicked()
    }

    Shortcut {
        sequences: [StandardKey.Copy]
        enabled: dialog.visible && dialog.has_code
        onActivated: dialog.copy_code()
    }

    // Refreshes the selected code when its step ends, and asks again after a touch.
    Timer {
        interval: 600
        repeat: true
        running: dialog.visible && dialog.model !== null
        triggeredOnStart: true
        onTriggered: {
            dialog.remain = dialog.model.step - (Date.now() / 1000) % dialog.model.step
            dialog.model.credentials_tick()
        }
    }
}
