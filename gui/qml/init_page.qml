import QtQuick 2.12

Item {
    objectName: "init_page"
    Rectangle {
        anchors.fill: parent
        color: "transparent"
        Text {
            id: no_key
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            text: qsTr("No Key Detected!")
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.top: parent.top
            anchors.topMargin: 30
            font.family: "Verdana"
            font.pixelSize: 20
            color: "black"
        }
        Text {
            objectName: "access_hint"
            Accessible.role: Accessible.StaticText
            Accessible.name: text.replace("\n", " ")
            visible: main_frame !== null && main_frame.key_without_access
            text: main_frame !== null && main_frame.key_needs_administrator
                  ? qsTr("A key is plugged in, but Windows lets only\nadministrators open it.")
                  : qsTr("A key is plugged in, but you may not open it.") + "\n" +
                    (main_frame !== null && main_frame.access_rule_installed ? qsTr("Its udev rule is in place: replug the key.")
                                                                              : qsTr("See the README: udev rule."))
            horizontalAlignment: Text.AlignHCenter
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.top: no_key.bottom
            anchors.topMargin: 12
            font.family: "Verdana"
            font.pixelSize: 13
            color: "black"
        }
        PushButton {
            objectName: "btn_restart_as_administrator"
            text: qsTr("Restart as administrator")
            visible: main_frame !== null && main_frame.key_without_access && main_frame.key_needs_administrator
                     && administrator_restart.available
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.top: no_key.bottom
            anchors.topMargin: 56
            onClicked: administrator_restart.restart()
        }
    }
}
