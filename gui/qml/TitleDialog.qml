import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Layouts 1.12

Dialog {
    id: dialog
    property alias titleText: title_label.text
    // A dialog about the key shown names it in its title bar when several keys are plugged in.
    property bool names_key: false
    readonly property string key_name: {
        var keys = names_key && main_frame !== null ? main_frame.keys : []
        for (var i = 0; keys.length >= 2 && i < keys.length; ++i)
            if (keys[i].shown)
                return qsTranslate("main", "Key %1").arg(keys[i].number)
        return ""
    }

    modal: true
    parent: Overlay.overlay
    x: (parent.width - width) / 2
    y: (parent.height - height) / 2
    closePolicy: Popup.CloseOnEscape
    font.family: "Verdana"

    header: ToolBar {
        height: 35
        leftPadding: 10
        background: Rectangle {
            color: "white"
            border.color: "black"
            border.width: 1
        }
        RowLayout {
            anchors.fill: parent
            Label {
                id: title_label
                font.pixelSize: 16
                verticalAlignment: Text.AlignVCenter
                Layout.fillHeight: true
                Layout.fillWidth: true
            }
            Label {
                objectName: "dialog_key_name"
                text: dialog.key_name
                visible: text !== ""
                font.pixelSize: 13
                color: "dimgray"
                verticalAlignment: Text.AlignVCenter
                Layout.fillHeight: true
            }
            ToolButton {
                objectName: "close_button"
                text: "x"  // a sign, the same in every language
                Accessible.name: qsTr("Close")
                font.pixelSize: 16
                implicitWidth: 35
                flat: !hovered
                Layout.fillHeight: true
                Layout.alignment: Qt.AlignRight
                onClicked: dialog.close()
            }
        }
    }
}
