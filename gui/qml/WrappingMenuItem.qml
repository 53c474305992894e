import QtQuick 2.12
import QtQuick.Controls 2.12

// A menu entry whose text wraps when the menu is narrower than it: the window is 320 px wide.
MenuItem {
    id: item
    contentItem: Text {
        leftPadding: item.checkable && item.indicator ? item.indicator.width + item.spacing : 0
        text: item.text
        font: item.font
        wrapMode: Text.Wrap
        color: item.palette.windowText
        opacity: item.enabled ? 1.0 : 0.3
        verticalAlignment: Text.AlignVCenter
        Accessible.ignored: true
    }
}
