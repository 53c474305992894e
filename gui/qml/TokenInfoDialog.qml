import QtQuick 2.12
import QtQuick.Controls 2.12

// The active credential's serial number, algorithm and hash, asked of the key until it answers.
TitleDialog {
    id: dialog
    objectName: "dialog_token_info"
    titleText: qsTranslate("main", "Token Info")
    names_key: true
    readonly property bool has_model: token_info !== null
    readonly property bool has_info: has_model && token_info.info.serial !== undefined
    property alias polling: token_info_timer.running

    Text {
        objectName: "token_info_text"
        // The serial number is the key's text: shown as its characters, never as markup.
        textFormat: Text.PlainText
        Accessible.role: Accessible.StaticText
        Accessible.name: text.trim().replace(/,?\s*\n/g, ", ")
        text: dialog.has_info
              ? qsTranslate("main", "Serial Number: %1\nAlgorithm: %2\nHash: %3\n").arg(token_info.info.serial)
                    .arg(token_info.info.algorithm).arg(token_info.info.hash)
              : qsTranslate("main", "If you are in Press Mode, \nthe key requires press to get token info")
        color: dialog.has_info ? "black" : "red"
        font.pixelSize: 15
        horizontalAlignment: Text.AlignLeft
    }

    // Asks again until the key answers: in press mode it waits for a touch.
    Timer {
        id: token_info_timer
        interval: 300
        repeat: true
        triggeredOnStart: true
        running: dialog.visible && dialog.has_model && !dialog.has_info
        onTriggered: token_info.refresh()
    }

    // The key is gone: nothing left to ask.
    onHas_modelChanged: {
        if (!has_model)
            close()
    }
}
