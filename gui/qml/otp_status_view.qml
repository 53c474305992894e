import QtQuick 2.9
import QtQuick.Window 2.12
import "code_format.js" as CodeFormat
import "messages.js" as Messages

Item {
    id: otp_page
    objectName: "otp_page"

    // The published model; its own timer asks the key, and its clock says what is left of the step.
    readonly property QtObject model: otp_status
    // An HOTP credential: a code only when the user asks, as each one counts the key up.
    readonly property bool hotp: model !== null && model.hotp

    function pad(num, width, delimiter) {
        return CodeFormat.pad(num, width, delimiter)
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

        Rectangle {
            anchors.fill: otp_value_bar
            color: "lightgray"
        }

        Text {
            id: otp_value_bar
            objectName: "otp_value_bar"
            Accessible.role: Accessible.StaticText
            Accessible.name: text !== "" ? qsTr("One-time password %1").arg(text) : qsTr("No one-time password")
            Accessible.description: qsTr("The code of the key's active credential")
            readonly property bool has_code: otp_page.model !== null && otp_page.model.has_code
            text: has_code ? otp_page.pad(otp_page.model.otp, otp_page.model.digits, " ") : ""
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.top: parent.top
            anchors.topMargin: 35
            width: has_code ? implicitWidth : 200
            leftPadding: 10
            rightPadding: 10
            font.family: "Verdana"
            font.pixelSize: 40
            color: "black"
        }

        PushButton {
            id: btn_copy
            objectName: "btn_copy"
            Accessible.name: qsTr("Copy the code")
            Accessible.description: qsTr("Copies the one-time password to the clipboard")
            visible: otp_value_bar.has_code
            width: 25
            height: 25
            padding: 0
            leftPadding: 0
            rightPadding: 0
            anchors.left: otp_value_bar.right
            anchors.leftMargin: 12
            anchors.verticalCenter: otp_value_bar.verticalCenter
            flat: !hovered
            content: Image {
                anchors.fill: parent
                source: "pic/clipboard-copy.png"
                // Decoded small: a 512-pixel image is converted for the screen on a thread pool.
                sourceSize: Qt.size(50, 50)
                fillMode: Image.PreserveAspectFit
            }
            // What the label shows, without the blank. An HOTP code is used once: copied, it goes.
            onClicked: {
                main_frame.copy_to_clipboard(otp_value_bar.text.replace(/ /g, ""))
                if (otp_page.hotp)
                    otp_page.model.forget_code()
            }
        }

        Shortcut {
            sequences: [StandardKey.Copy]
            enabled: btn_copy.visible
            onActivated: btn_copy.clicked()
        }

        // Changes once a second. Every number it can show is laid out once, in a strip behind a
        // window one line high: a new number moves the strip, and only its window is drawn again.
        // The translated text's words stand before and after it, where the language puts them.
        Row {
            id: bar_left_time
            objectName: "bar_left_time"
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            Accessible.description: qsTr("Seconds left in the code's %n-second step", "", most)
            readonly property int remain: otp_page.model !== null ? otp_page.model.remain : 0
            readonly property int most: otp_page.model !== null ? otp_page.model.step : 0  // remain at a step boundary
            // Each second's sentence and the words around its number, translated once: a second
            // only looks its own up. Its context is named, as qsTr would look up this file's name
            // at each call.
            readonly property var sentences: {
                var table = []
                for (var n = 0; n <= most; ++n) {
                    var sentence = qsTranslate("otp_status_view", "%n seconds left", "", n)
                    var around = CodeFormat.around_number(sentence, n)
                    // A label's width leaves out trailing blanks: the blank before the number is padding.
                    var before = around[0].replace(/\s+$/, "")
                    table.push({sentence: sentence, before: before, blank: before !== around[0], after: around[1]})
                }
                return table
            }
            readonly property var counted: sentences[Math.min(remain, most)]
            readonly property string text: otp_value_bar.has_code && !otp_page.hotp ? counted.sentence : ""
            visible: text !== ""
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.top: otp_value_bar.bottom
            anchors.topMargin: 15

            // Properties, unlike FontMetrics' methods, follow the font as it is set.
            TextMetrics {
                id: digit_metrics
                font: words_before.font
                text: "0"
            }
            TextMetrics {
                id: blank_metrics
                font: words_before.font
                text: " "
            }

            Text {
                id: words_before
                Accessible.ignored: true
                text: bar_left_time.counted.before
                rightPadding: bar_left_time.counted.blank ? blank_metrics.advanceWidth : 0
                font.family: "Verdana"
                font.pixelSize: 18
                color: "black"
            }

            Item {
                readonly property real digit_width: digit_metrics.advanceWidth
                width: (bar_left_time.remain >= 10 ? 2 : 1) * digit_width
                height: words_before.height
                clip: true

                Text {
                    id: seconds_strip
                    objectName: "seconds_strip"
                    Accessible.ignored: true
                    anchors.right: parent.right
                    y: -(bar_left_time.most - bar_left_time.remain) * parent.height
                    text: {
                        var lines = []
                        for (var n = bar_left_time.most; n >= 0; --n)
                            lines.push(n)
                        return lines.join("\n")
                    }
                    horizontalAlignment: Text.AlignRight
                    lineHeightMode: Text.FixedHeight
                    lineHeight: parent.height
                    font: words_before.font
                    color: "black"
                }
            }

            Text {
                Accessible.ignored: true
                text: bar_left_time.counted.after
                font: words_before.font
                color: "black"
            }
        }

        // Made for the step's last seconds only: most of the time the page has no next code.
        Loader {
            id: next_code_loader
            readonly property bool wanted: otp_value_bar.has_code && !otp_page.hotp && otp_page.model.has_next_step_code
            active: wanted
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.top: bar_left_time.bottom
            anchors.topMargin: 8
            sourceComponent: Row {
                id: next_code_row
                objectName: "next_code_row"
                readonly property string code: otp_page.pad(otp_page.model.next_step_otp, otp_page.model.digits, " ")
                spacing: 8
                Accessible.role: Accessible.StaticText
                Accessible.name: qsTr("Next one-time password %1").arg(code)

                Text {
                    Accessible.ignored: true
                    anchors.verticalCenter: parent.verticalCenter
                    text: qsTr("next")
                    font.family: "Verdana"
                    font.pixelSize: 14
                    color: "dimgray"
                }
                Text {
                    objectName: "next_code"
                    Accessible.ignored: true
                    anchors.verticalCenter: parent.verticalCenter
                    text: next_code_row.code
                    font.family: "Verdana"
                    font.pixelSize: 20
                    color: "dimgray"
                }
                PushButton {
                    objectName: "btn_copy_next"
                    Accessible.name: qsTr("Copy the next code")
                    Accessible.description: qsTr("Copies the next step's one-time password to the clipboard")
                    anchors.verticalCenter: parent.verticalCenter
                    width: 20
                    height: 20
                    padding: 0
                    leftPadding: 0
                    rightPadding: 0
                    flat: !hovered
                    content: Image {
                        anchors.fill: parent
                        source: "pic/clipboard-copy.png"
                        sourceSize: Qt.size(40, 40)
                        fillMode: Image.PreserveAspectFit
                    }
                    onClicked: main_frame.copy_to_clipboard(next_code_row.code.replace(/ /g, ""))
                }
            }
        }

        // A code is only as right as this computer's clock, which the key computes it from.
        // Made only while it is shown: most clocks are synchronised.
        Loader {
            active: otp_value_bar.has_code && !otp_page.hotp && clock_check !== null && !clock_check.synchronised
                    && settings !== null && settings.warn_unsynchronised_clock
            width: parent.width - 20
            anchors.horizontalCenter: parent.horizontalCenter
            // Below the next code's place: the two may show at once.
            anchors.top: bar_left_time.bottom
            anchors.topMargin: 40
            sourceComponent: Text {
                id: clock_line
                objectName: "clock_line"
                text: qsTr("This computer's clock is not synchronised: codes may be refused.")
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
                font.family: "Verdana"
                font.pixelSize: 11
                font.underline: clock_mouse.containsMouse || activeFocus
                color: "dimgray"
                activeFocusOnTab: visible
                Accessible.role: Accessible.Link
                Accessible.name: text
                Accessible.description: qsTr("Opens what it means and how to synchronise the clock")
                Accessible.onPressAction: dialog_clock.open()
                Keys.onReturnPressed: dialog_clock.open()
                Keys.onEnterPressed: dialog_clock.open()
                Keys.onSpacePressed: dialog_clock.open()

                MouseArea {
                    id: clock_mouse
                    anchors.fill: parent
                    hoverEnabled: true
                    cursorShape: Qt.PointingHandCursor
                    onClicked: dialog_clock.open()
                }
            }
        }

        Column {
            id: hotp_panel
            objectName: "hotp_panel"
            visible: otp_page.hotp
            width: parent.width - 20
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.top: otp_value_bar.bottom
            anchors.topMargin: 12
            spacing: 6

            Text {
                objectName: "hotp_note"
                width: parent.width
                Accessible.role: Accessible.StaticText
                Accessible.name: text
                // The serial number is the key's text, never markup.
                textFormat: Text.PlainText
                text: otp_page.hotp ? qsTr("%1 is an HOTP credential: each code counts the key up.").arg(otp_page.model.serial_num) : ""
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
                font.family: "Verdana"
                font.pixelSize: 12
                color: "black"
            }

            PushButton {
                id: btn_next_code
                topPadding: 4
                bottomPadding: 4
                objectName: "btn_next_code"
                anchors.horizontalCenter: parent.horizontalCenter
                text: qsTr("Next code")
                Accessible.description: qsTr("Asks the key for the next code, which counts it up")
                font.pixelSize: 14
                onClicked: otp_page.model.next_code()
            }
        }

        Shortcut {
            sequences: ["Return", "Enter"]
            enabled: otp_page.hotp
            onActivated: btn_next_code.clicked()
        }

        Text {
            id: bar_information
            objectName: "bar_information"
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            Accessible.ignored: text === ""
            text: (otp_page.model !== null && !otp_page.model.has_code) ? Messages.model_text(otp_page.model.err_msg) : ""
            anchors.horizontalCenter: parent.horizontalCenter
            horizontalAlignment: Text.AlignHCenter
            anchors.top: otp_page.hotp ? hotp_panel.bottom : otp_value_bar.bottom
            anchors.topMargin: 15
            font.family: "Verdana"
            font.pixelSize: 18
            color: "red"
        }
    }
}
