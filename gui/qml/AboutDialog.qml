import QtQuick 2.12
import QtQuick.Controls 2.12

// The program's name, version and maker.
TitleDialog {
    objectName: "dialog_about"
    titleText: qsTranslate("main", "About")
    Column {
        topPadding: 10
        bottomPadding: 20
        leftPadding: 10
        rightPadding: 10
        spacing: 10
        Image {
            source: "pic/brenvale-logo-48-48.png"
            width: 48
            height: 48
            fillMode: Image.PreserveAspectFit
            anchors.horizontalCenter: parent.horizontalCenter
        }
        Text {
            text: "Umbrata " + Qt.application.version  // a name, the same in every language
            font.pixelSize: 13
            anchors.horizontalCenter: parent.horizontalCenter
        }
        Text {
            text: "Copyright © Orvalin Direzoda"  // a name, the same in every language
            font.pixelSize: 14
            anchors.horizontalCenter: parent.horizontalCenter
        }
    }
}
