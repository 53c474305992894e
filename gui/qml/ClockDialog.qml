import QtQuick 2.12
import QtQuick.Controls 2.12

// Why a clock that is not synchronised matters, and how to synchronise it on this desktop: opened
// from the main page's clock line.
TitleDialog {
    id: dialog
    objectName: "dialog_clock"
    titleText: qsTr("This computer's clock")
    contentWidth: 290

    Column {
        width: dialog.availableWidth
        spacing: 8

        Text {
            objectName: "clock_explanation"
            width: parent.width
            wrapMode: Text.Wrap
            textFormat: Text.PlainText
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            font.pixelSize: 12
            text: qsTr("The key computes each code from this computer's time, and a service accepts a code only within about 30 seconds of its own: a clock that is off gives codes that look right and are refused.")
        }

        Text {
            id: remedy
            width: parent.width
            wrapMode: Text.Wrap
            textFormat: Text.PlainText
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            font.pixelSize: 12
            readonly property bool windows: Qt.platform.os === "windows"
            text: windows ? qsTr("To synchronise the clock, open Settings, Time & language, Date & time, and switch on Set time automatically.")
                          : qsTr("To synchronise the clock, switch on automatic date and time in your desktop's settings, or run:")
        }

        TextField {
            objectName: "clock_command"
            visible: !remedy.windows
            text: "timedatectl set-ntp true"  // a command, the same in every language
            readOnly: true
            selectByMouse: true
            width: parent.width
            topPadding: 4
            bottomPadding: 4
            font.family: "DejaVu Sans Mono"
            font.pixelSize: 12
            // As high as its line: the style's field is 40 px high.
            background: Rectangle {
                border.color: "#bdbdbd"
            }
        }

        Text {
            width: parent.width
            wrapMode: Text.Wrap
            textFormat: Text.PlainText
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            font.pixelSize: 12
            color: "dimgray"
            text: qsTr("Some computers never say that their clock is synchronised. If your codes are accepted, turn off Settings, Warn when the clock is not synchronised.")
        }
    }
}
