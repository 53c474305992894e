import QtQuick 2.12
import QtQuick.Controls 2.12

// The window's three menus, made when the user first opens one: the controls' module that they
// need is loaded only then. The menu bar opens them under its titles.
Item {
    readonly property var menus: [menu_file, menu_settings, menu_help]
    readonly property int sub_menu_pixel_size: 16
    // The menu that is open, if any.
    readonly property var open_menu: menu_file.visible ? menu_file : menu_settings.visible ? menu_settings
                                     : menu_help.visible ? menu_help : null

    // Opens menu number index under the title, and closes any other. The texts are the main
    // window's, and translated as such.
    function open_under(index, title) {
        for (var i = 0; i < menus.length; ++i)
            if (i !== index)
                menus[i].close()
        menus[index].popup(title, 0, title.height)
    }

    function get_item_width(item, min_padding) {
        if (!item)
            return 0
        return item.contentItem.implicitWidth + 2 * Math.max(item.padding, min_padding)
    }

    // As wide as its widest entry.
    function get_menu_width(menu) {
        var width = 0
        for (var i = 0; i < menu.count; ++i)
            width = Math.max(width, get_item_width(menu.itemAt(i), 20))
        return width
    }

    Menu {
        id: menu_file
        objectName: "menu_file"
        title: qsTranslate("main", "&File")
        font.family: "Verdana"
        font.pixelSize: sub_menu_pixel_size
        width: get_item_width(menu_file.itemAt(0), 20)
        MenuItem {
            text: qsTranslate("main", "Exit")
            onTriggered: window.quit()
        }
    }
    Menu {
        id: menu_settings
        objectName: "menu_settings"
        title: qsTranslate("main", "&Settings")
        font.family: "Verdana"
        font.pixelSize: sub_menu_pixel_size
        width: Math.min(get_menu_width(menu_settings), window.width - 10)
        MenuItem {
            objectName: "token_info_item"
            text: qsTranslate("main", "Token Info...")
            enabled: otp_status !== null
            onTriggered: dialog_token_info.open()
        }
        MenuItem {
            objectName: "credentials_item"
            text: qsTranslate("main", "Credentials...")
            enabled: otp_status !== null
            onTriggered: dialog_credentials.open()
        }
        MenuItem {
            objectName: "clear_clipboard_item"
            text: qsTranslate("main", "Clear copied codes after %n s", "", main_frame !== null ? main_frame.copied_code_seconds : 0)
            checkable: true
            checked: settings !== null && settings.clear_copied_codes
            onCheckedChanged: if (settings !== null) settings.clear_copied_codes = checked
        }
        WrappingMenuItem {
            objectName: "warn_clock_item"
            text: qsTranslate("main", "Warn when the clock is not synchronised")
            checkable: true
            checked: settings !== null && settings.warn_unsynchronised_clock
            onCheckedChanged: if (settings !== null) settings.warn_unsynchronised_clock = checked
        }
        WrappingMenuItem {
            objectName: "keep_in_tray_item"
            // Where no tray exists, the entry says why it is disabled.
            text: qsTranslate("main", "Keep running in the tray when the window is closed")
                  + (!tray_host.available ? "\n" + qsTranslate("main", "(this desktop shows no tray icons)") : "")
            checkable: true
            enabled: tray_host.available
            checked: settings !== null && settings.keep_in_tray
            onCheckedChanged: if (settings !== null) settings.keep_in_tray = checked
        }
        MenuItem {
            objectName: "start_at_login_item"
            text: qsTranslate("main", "Start at login")
            checkable: true
            checked: settings !== null && settings.start_at_login
            onToggled: settings.start_at_login = checked
        }
        // Started at login without administrator rights, which no logon task gives here: what to do
        // when the key needs them. Out of the menu's way otherwise.
        WrappingMenuItem {
            objectName: "start_at_login_note"
            text: qsTranslate("main", "Umbrata starts at login without administrator rights: use Restart as administrator when the key needs them.")
            enabled: false
            visible: settings !== null && settings.start_at_login_unelevated
            height: visible ? implicitHeight : 0
        }
    }
    Menu {
        id: menu_help
        objectName: "menu_help"
        title: qsTranslate("main", "&Help")
        font.family: "Verdana"
        font.pixelSize: sub_menu_pixel_size
        width: get_item_width(menu_help.itemAt(0), 20)
        MenuItem {
            objectName: "menu_user_guide"
            text: qsTranslate("main", "User Guide")
            onTriggered: user_guide_loader.show_guide()
        }
        MenuItem {
            objectName: "about_item"
            text: qsTranslate("main", "About")
            onTriggered: dialog_about.open()
        }
    }
}
