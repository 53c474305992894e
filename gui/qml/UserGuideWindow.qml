import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Window 2.12

// The user guide in a window of its own: the main window is too small to read it in, and the
// guide can stay open beside it.
Window {
    id: guide_window
    objectName: "user_guide_window"
    title: qsTr("Umbrata User Guide")
    width: 560
    height: 640
    minimumWidth: 300
    minimumHeight: 200
    color: "white"

    onVisibleChanged: {
        if (visible)
            guide_view.forceActiveFocus()
    }

    Flickable {
        id: guide_view
        objectName: "user_guide_view"
        anchors.fill: parent
        clip: true
        focus: true
        contentWidth: width
        contentHeight: guide_text.height
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar {}
        Accessible.role: Accessible.Pane
        Accessible.name: qsTr("User Guide")

        readonly property real line_step: 3 * guide_text.font.pixelSize

        function scroll_to(y) {
            cancelFlick()
            contentY = Math.max(0, Math.min(y, contentHeight - height))
        }

        Keys.onPressed: {
            switch (event.key) {
            case Qt.Key_Up:
                scroll_to(contentY - line_step)
                break
            case Qt.Key_Down:
                scroll_to(contentY + line_step)
                break
            case Qt.Key_PageUp:
                scroll_to(contentY - height)
                break
            case Qt.Key_PageDown:
                scroll_to(contentY + height)
                break
            case Qt.Key_Home:
                scroll_to(0)
                break
            case Qt.Key_End:
                scroll_to(contentHeight)
                break
            case Qt.Key_Escape:
                guide_window.close()
                break
            default:
                return
            }
            event.accepted = true
        }

        Text {
            id: guide_text
            objectName: "user_guide_text"
            width: guide_view.width
            padding: 12
            textFormat: Text.MarkdownText
            wrapMode: Text.Wrap
            font.pixelSize: 13
            // Laid out only while the window is shown: the guide is long, and Umbrata starts
            // without it.
            text: guide_window.visible && main_frame !== null ? main_frame.user_guide : ""
            onLinkActivated: Qt.openUrlExternally(link)
        }
    }
}
