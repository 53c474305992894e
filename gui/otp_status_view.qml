import QtQuick 2.9
import QtQuick.Window 2.12
import QtQuick.Controls 2.5

Item {
    id: otp_page
    objectName: "otp_page"

    // The number as a code of width digits, zero-filled, with delimiter after the first half.
    function pad(num, width, delimiter) {
        var text = "" + num
        while (text.length < width)
            text = "0" + text
        var half = Math.floor(width / 2)
        return text.substring(0, half) + delimiter + text.substring(half)
    }

    function disable_otp_timer() {
        otp_timer.stop()
    }

    function enable_otp_timer() {
        otp_timer.start()
    }

    function time_changed() {
        if (otp_status === null)
            return
        var seconds = new Date().getTime() / 1000
        bar_left_time.remain = otp_status.step - (seconds % otp_status.step)
        // Written without a signal: the old code stays on screen until the new one arrives.
        if (bar_left_time.remain < 1.3)
            otp_status.otp = 0
        otp_status.response_time_changed()
    }

    Rectangle {
        anchors.fill: parent
        anchors.margins: 10
        color: "transparent"

        // The box's shadow (offset 3, 3, blur radius 9, #aa000000), blurred once by
        // packaging/artwork/make_images: the software scene graph runs no shader effect, and an
        // image is left alone by the countdown's repaints.
        BorderImage {
            readonly property int offset: 3
            readonly property int blur: 9
            source: "pic/code-shadow.png"
            anchors.fill: otp_value_bar
            anchors.leftMargin: offset - blur
            anchors.topMargin: offset - blur
            anchors.rightMargin: -offset - blur
            anchors.bottomMargin: -offset - blur
            border.left: 2 * blur
            border.top: 2 * blur
            border.right: 2 * blur
            border.bottom: 2 * blur
        }

        Label {
            id: otp_value_bar
            objectName: "otp_value_bar"
            Accessible.role: Accessible.StaticText
            Accessible.name: "One-time password"
            Accessible.description: "The code of the key's active credential"
            readonly property bool has_code: otp_status !== null && otp_status.otp !== 0
            text: has_code ? otp_page.pad(otp_status.otp, otp_status.digits, " ") : ""
            background: Rectangle {
                color: "lightgray"
            }
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.top: parent.top
            anchors.topMargin: 35
            width: has_code ? implicitWidth : 200
            leftPadding: 10
            rightPadding: 10
            font.pixelSize: 40
            color: "black"
        }

        Button {
            id: btn_copy
            objectName: "btn_copy"
            Accessible.name: "Copy the code"
            Accessible.description: "Copies the one-time password to the clipboard"
            visible: otp_value_bar.has_code
            width: 25
            height: 25
            padding: 0
            leftPadding: 0
            rightPadding: 0
            topPadding: 0
            bottomPadding: 0
            anchors.left: otp_value_bar.right
            anchors.leftMargin: 12
            anchors.verticalCenter: otp_value_bar.verticalCenter
            flat: !hovered
            hoverEnabled: true
            contentItem: Image {
                source: "pic/clipboard-copy.png"
                // Decoded small: a 512-pixel image is converted for the screen on a thread pool.
                sourceSize: Qt.size(50, 50)
                fillMode: Image.PreserveAspectFit
            }
            // What the label shows, without the blank: otp may already read 0 at the end of a step.
            onClicked: main_frame.copy_to_clipboard(otp_value_bar.text.replace(/ /g, ""))
        }

        Shortcut {
            sequences: [StandardKey.Copy]
            enabled: btn_copy.visible
            onActivated: btn_copy.clicked()
        }

        Label {
            id: bar_left_time
            objectName: "bar_left_time"
            Accessible.role: Accessible.StaticText
            Accessible.name: "Seconds left"
            Accessible.description: "Seconds left in the code's 30-second step"
            property int remain: 0
            text: (otp_status === null || otp_status.otp === 0) ? "" : remain + " seconds left"
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.top: otp_value_bar.bottom
            anchors.topMargin: 15
            font.pixelSize: 18
            color: "black"
        }

        Label {
            id: bar_information
            objectName: "bar_information"
            text: (otp_status !== null && otp_status.otp === 0) ? otp_status.err_msg : ""
            anchors.horizontalCenter: parent.horizontalCenter
            horizontalAlignment: Text.AlignHCenter
            anchors.top: otp_value_bar.bottom
            anchors.topMargin: 15
            font.pixelSize: 18
            color: "red"
        }
    }

    Timer {
        id: otp_timer
        objectName: "otp_timer"
        interval: 600
        repeat: true
        running: true
        onTriggered: otp_page.time_changed()
    }
}
