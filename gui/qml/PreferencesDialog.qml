import QtQuick 2.12
import QtQuick.Controls 2.12

// Press mode on or off. Nothing in the window opens it.
TitleDialog {
    titleText: qsTranslate("main", "Preferences")
    Column {
        spacing: 10
        leftPadding: 45
        rightPadding: 45
        topPadding: 10
        bottomPadding: 30
        Button {
            text: qsTranslate("main", "Enable Key Press")
            font.pixelSize: 14
            hoverEnabled: true
            highlighted: hovered
            anchors.horizontalCenter: parent.horizontalCenter
            onClicked: otp_status !== null ? otp_status.set_press_mode(true) : msg_press_mode_error.open()
        }
        Button {
            text: qsTranslate("main", "Disable Key Press")
            font.pixelSize: 14
            hoverEnabled: true
            highlighted: hovered
            anchors.horizontalCenter: parent.horizontalCenter
            onClicked: otp_status !== null ? otp_status.set_press_mode(false) : msg_press_mode_error.open()
        }
    }
}
