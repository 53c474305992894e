import QtQuick 2.12
import QtQuick.Controls 2.12

// How the key took a change of press mode.
TitleDialog {
    property alias text: message.text
    titleText: qsTranslate("main", "Press Mode Settings")
    Label {
        id: message
        font.pixelSize: 16
    }
}
