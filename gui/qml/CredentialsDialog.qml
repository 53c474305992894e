import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Layouts 1.12
import "code_format.js" as CodeFormat
import "messages.js" as Messages

// Every credential on the key: a filter, the list, and below it the selected credential's code
// with the seconds left, a copy button and "Make active".
TitleDialog {
    id: dialog
    objectName: "dialog_credentials"
    titleText: qsTr("Credentials")
    names_key: true

    readonly property QtObject model: credentials
    readonly property var rows: filtered(model !== null ? model.rows : [], filter.text)
    property string selected_serial: ""
    readonly property var selected: {
        for (var i = 0; i < rows.length; ++i) {
            if (rows[i].serial === selected_serial)
                return rows[i]
        }
        return null
    }
    readonly property var code: model !== null && selected !== null ? model.codes[selected.serial] : undefined
    readonly property bool has_code: code !== undefined && code.otp !== undefined
    readonly property string code_text: has_code ? CodeFormat.pad(code.otp, code.digits, " ") : ""
    // In the step's last seconds: the next step's code.
    readonly property string next_code_text: has_code && code.next_otp !== undefined
                                             ? CodeFormat.pad(code.next_otp, code.next_digits, " ") : ""
    readonly property int remain: otp_status !== null ? otp_status.remain : 0
    // Enter was pressed before the selected credential's code arrived: copied when it does.
    property bool copy_wanted: false

    function filtered(all, text) {
        var wanted = text.trim().toLowerCase()
        return all.filter(function(credential) { return credential.serial.toLowerCase().indexOf(wanted) >= 0 })
    }

    function row_text(credential) {
        return credential.serial + "  " + credential.algorithm + "  " + credential.hash + (credential.active ? "  " + qsTr("(active)") : "")
    }

    function copy_code() {
        copy_wanted = !has_code && selected !== null && selected.totp
        // From the code itself: called as has_code changes, code_text may not have followed yet.
        if (has_code)
            main_frame.copy_to_clipboard(CodeFormat.pad(code.otp, code.digits, ""))
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

    function select_next(direction) {
        select_row(Math.max(0, index_of(selected_serial) + direction))
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
        copy_wanted = false
        if (model !== null)
            model.watch("dialog", visible && selected !== null ? [selected.serial] : [], true)
    }
    onHas_codeChanged: {
        if (has_code && copy_wanted)
            copy_code()
    }
    onOpened: {
        selected_serial = ""
        filter.text = ""
        model.refresh()
        filter.forceActiveFocus()
    }
    onClosed: {
        if (model !== null)
            model.watch("dialog", [])
    }
    // The key is gone: nothing left to show.
    onModelChanged: {
        if (model === null)
            close()
    }

    // The filter and the list fill it; the window is 320 px wide at its smallest.
    contentWidth: 290

    ColumnLayout {
        width: dialog.availableWidth
        spacing: 6

        // The whole width: a translated hint would be cut beside a button.
        TextField {
            id: filter
            objectName: "credentials_filter"
            Layout.fillWidth: true
            placeholderText: qsTr("Filter by serial number")
            Accessible.name: placeholderText
            font.pixelSize: 14
            // The list's keys work from the filter too.
            Keys.onUpPressed: dialog.select_next(-1)
            Keys.onDownPressed: dialog.select_next(1)
            Keys.onReturnPressed: dialog.copy_code()
            Keys.onEnterPressed: dialog.copy_code()
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
            Accessible.name: qsTr("Credentials")
            ScrollBar.vertical: ScrollBar {}
            Keys.onUpPressed: dialog.select_next(-1)
            Keys.onDownPressed: dialog.select_next(1)
            Keys.onReturnPressed: dialog.copy_code()
            Keys.onEnterPressed: dialog.copy_code()
            delegate: ItemDelegate {
                id: row
                width: list.width
                height: 30
                text: dialog.row_text(modelData)
                font.pixelSize: 13
                highlighted: modelData.serial === dialog.selected_serial
                // Serial numbers are the key's text: shown as their characters, never as markup.
                contentItem: Text {
                    text: row.text
                    textFormat: Text.PlainText
                    font: row.font
                    color: row.highlighted ? row.palette.highlightedText : row.palette.text
                    elide: Text.ElideRight
                    verticalAlignment: Text.AlignVCenter
                    Accessible.ignored: true
                }
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
                Accessible.name: qsTr("One-time password %1").arg(text)
                font.pixelSize: 28
                leftPadding: 8
                rightPadding: 8
                background: Rectangle {
                    color: "lightgray"
                }
            }
            Button {
                Accessible.name: qsTr("Copy the code")
                Accessible.description: qsTr("Copies the selected credential's one-time password to the clipboard")
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

        RowLayout {
            Layout.alignment: Qt.AlignHCenter
            visible: dialog.next_code_text !== ""
            Accessible.role: Accessible.StaticText
            Accessible.name: qsTranslate("otp_status_view", "Next one-time password %1").arg(dialog.next_code_text)
            Label {
                text: qsTranslate("otp_status_view", "next")
                Accessible.ignored: true
                font.pixelSize: 13
                color: "dimgray"
            }
            Label {
                objectName: "credential_next_code"
                text: dialog.next_code_text
                Accessible.ignored: true
                font.pixelSize: 18
                color: "dimgray"
            }
            Button {
                Accessible.name: qsTranslate("otp_status_view", "Copy the next code")
                Accessible.description: qsTranslate("otp_status_view", "Copies the next step's one-time password to the clipboard")
                implicitWidth: 20
                implicitHeight: 20
                padding: 0
                flat: !hovered
                hoverEnabled: true
                contentItem: Image {
                    source: "pic/clipboard-copy.png"
                    sourceSize: Qt.size(40, 40)
                    fillMode: Image.PreserveAspectFit
                }
                onClicked: main_frame.copy_to_clipboard(dialog.next_code_text.replace(/ /g, ""))
            }
        }

        Label {
            objectName: "credential_line"
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            Accessible.role: Accessible.StaticText
            Accessible.name: text.replace(/\n/g, " ")
            font.pixelSize: 14
            readonly property string message: dialog.model !== null ? Messages.failure(dialog.model.message) : ""
            color: message !== "" ? "red" : "black"
            text: message !== "" ? message
                : dialog.selected === null ? ""
                : !dialog.selected.totp ? qsTr("HOTP: a code would count up the key")
                : dialog.has_code ? qsTr("%n seconds left", "", dialog.remain) : ""
        }

        RowLayout {
            Layout.alignment: Qt.AlignHCenter
            Button {
                id: make_active_button
                objectName: "make_active"
                // Its mnemonic is the translation's: Alt+A in English.
                readonly property string marked_text: qsTr("Make &active")
                text: marked_text.replace("&", "")
                font.pixelSize: 14
                visible: dialog.selected !== null && dialog.selected.totp
                enabled: visible && !dialog.selected.active
                // The shortcut below: Qt 5 takes a button's own mnemonic only if it is enabled when its
                // text is set, and this one is enabled by the selection.
                contentItem: Text {
                    text: CodeFormat.underlined_mnemonic(make_active_button.marked_text)
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

            Button {
                text: qsTr("&Refresh")
                font.pixelSize: 14
                onClicked: dialog.model.refresh()
            }
        }
    }

    Shortcut {
        sequence: "Alt+" + CodeFormat.mnemonic_letter(make_active_button.marked_text)
        enabled: make_active_button.enabled
        onActivated: make_active_button.clicked()
    }

    Shortcut {
        sequences: [StandardKey.Copy]
        enabled: dialog.visible && dialog.has_code
        onActivated: dialog.copy_code()
    }
}
