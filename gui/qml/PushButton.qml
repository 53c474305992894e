import QtQuick 2.12

// A push button of plain Qt Quick, drawn as the controls' default style draws one: the window
// starts without the controls' module, which the menus and dialogs load when first opened.
// Tab gives it the focus, and Space or Enter presses it then.
FocusScope {
    id: button
    property alias text: label.text
    property alias font: label.font
    // Drawn in place of the text, when set.
    property alias content: content_holder.data
    property real padding: 6
    property real leftPadding: padding + 2
    property real rightPadding: padding + 2
    property real topPadding: padding
    property real bottomPadding: padding
    // Without a background until the pointer is over it or it is pressed.
    property bool flat: false
    readonly property bool down: mouse.pressed
    readonly property bool hovered: mouse.containsMouse
    signal clicked()

    implicitWidth: Math.max(100, (content_holder.children.length > 0 ? content_holder.childrenRect.width : label.implicitWidth)
                                 + leftPadding + rightPadding)
    implicitHeight: Math.max(40, (content_holder.children.length > 0 ? content_holder.childrenRect.height : label.implicitHeight)
                                 + topPadding + bottomPadding)
    activeFocusOnTab: true
    Accessible.role: Accessible.Button
    Accessible.name: text
    Accessible.onPressAction: clicked()
    Keys.onSpacePressed: clicked()
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()

    Rectangle {
        anchors.fill: parent
        visible: !button.flat || button.down
        // The style's button colour, half-way to its mid colour while pressed.
        color: button.down ? "#cfcfcf" : "#e0e0e0"
        border.color: "#0066ff"
        border.width: button.activeFocus ? 2 : 0
    }

    Text {
        id: label
        visible: content_holder.children.length === 0
        x: button.leftPadding + (button.width - button.leftPadding - button.rightPadding - width) / 2
        y: button.topPadding + (button.height - button.topPadding - button.bottomPadding - height) / 2
        font.family: "Verdana"
        color: "#26282a"
        Accessible.ignored: true
    }

    Item {
        id: content_holder
        x: button.leftPadding
        y: button.topPadding
        width: button.width - button.leftPadding - button.rightPadding
        height: button.height - button.topPadding - button.bottomPadding
    }

    MouseArea {
        id: mouse
        anchors.fill: parent
        hoverEnabled: true
        onClicked: button.clicked()
    }
}
