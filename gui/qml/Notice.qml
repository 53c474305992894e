import QtQuick 2.12

// A short note over the window's foot that goes by itself. Announced by screen readers: an alert
// that becomes visible. Not a Label, which takes the role of a static text whenever accessibility
// comes on.
Rectangle {
    id: notice
    property alias text: notice_text.text
    property alias duration: hide_timer.interval
    function show() {
        visible = true
        hide_timer.restart()
    }
    visible: false
    Accessible.role: Accessible.AlertMessage
    Accessible.name: text
    anchors.horizontalCenter: parent.horizontalCenter
    anchors.bottom: parent.bottom
    anchors.bottomMargin: 60
    width: notice_text.implicitWidth + 8
    height: notice_text.implicitHeight + 8
    color: "#f3f3f3"
    radius: 3
    Text {
        id: notice_text
        anchors.centerIn: parent
        // What the key says is never markup.
        textFormat: Text.PlainText
        font.pixelSize: 14
        Accessible.ignored: true
    }
    Timer {
        id: hide_timer
        onTriggered: notice.visible = false
    }
}
