import QtQuick 2.12
import QtQuick.Controls 2.5

Item {
    objectName: "init_page"
    Rectangle {
        anchors.fill: parent
        color: "transparent"
        Label {
            text: "No Key Detected!"
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.top: parent.top
            anchors.topMargin: 30
            font.pixelSize: 20
            color: "black"
        }
    }
}
