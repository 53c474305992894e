import QtQuick 2.12
import QtQuick.Window 2.12
import QtTest 1.2

// Every text of the window, its dialogs and menus fits, in the language and at the screen scale
// of the session (fit_test.sh runs this for each): none is cut, and none runs past its dialog or
// the window. Each view is saved to $UMBRATA_SHOTS/<view>.png.
TestCase {
    id: test
    name: "Fit"
    when: windowShown

    property var model: harness.model
    property var key_list: harness.credentials
    property var frame: harness.frame
    property var window: null

    function init() {
        harness.reset()
        window = createTemporaryObject(Qt.createComponent("qrc:/main.qml"), test)
        verify(window)
        waitForRendering(window.contentItem)
    }

    function is_popup(item) {
        return String(item).indexOf("QQuickPopupItem") === 0
    }

    // Where a text's content lies in area's coordinates: its alignment places it in its box.
    function content_box(text, area) {
        var room = text.width - text.leftPadding - text.rightPadding
        var x = text.leftPadding
        if (text.effectiveHorizontalAlignment === Text.AlignRight)
            x += room - text.contentWidth
        else if (text.effectiveHorizontalAlignment === Text.AlignHCenter)
            x += (room - text.contentWidth) / 2
        var at = text.mapToItem(area, x, 0)
        return {left: at.x, right: at.x + text.contentWidth}
    }

    // Every shown text under item, with the popup (dialog or menu) it is in, if any.
    function texts(item, popup, found) {
        if (!item.visible || item.opacity === 0)
            return found
        if (item.truncated !== undefined && typeof item.text === "string" && item.text !== "")
            found.push({text: item, popup: popup})
        for (var i = 0; i < item.children.length; ++i)
            texts(item.children[i], is_popup(item) ? item : popup, found)
        return found
    }

    // Saves the window as the view name, and checks every shown text.
    function check(name) {
        var root = window.contentItem.parent
        // Grabbing lays the window out first: the layouts place their items as they are polished.
        verify(harness.save_window(root, name))
        var shown = texts(root, null, [])
        verify(shown.length > 0, name)
        for (var entry of shown) {
            var what = name + ": \"" + entry.text.text + "\""
            verify(!entry.text.truncated, what + " is cut")
            for (var area of entry.popup !== null ? [root, entry.popup] : [root]) {
                var box = content_box(entry.text, area)
                verify(box.left >= -0.5 && box.right <= area.width + 0.5,
                       what + " runs from " + box.left + " to " + box.right + " of " + area.width)
            }
        }
    }

    function open_and_check(popup, name) {
        popup.open()
        tryCompare(popup, "opened", true)
        check(name)
        popup.close()
        tryCompare(popup, "visible", false)
    }

    function show_model() {
        harness.publish_model(true)
        frame.show_otp_status()
    }

    function test_no_key_page() {
        check("no-key")
        frame.set_key_without_access(true)
        check("no-key-no-access")
        frame.set_access_rule_installed(true)
        check("no-key-rule-installed")
        frame.set_key_needs_administrator(true)
        frame.set_can_restart_as_administrator(true)
        check("no-key-administrator")
    }

    function test_main_page() {
        show_model()
        for (var failure of ["Press the key to get the OTP!", "Failed to access the key.\nRe-plug in the key!"]) {
            model.show_error(failure)
            check("main-failure")
        }
        model.show_code(1234567, 7)
        for (var remain of [1, 21, 30]) {
            model.show_remain(remain)
            check("main")
        }
    }

    function test_menus() {
        show_model()
        for (var name of ["menu_file", "menu_settings", "menu_help"])
            open_and_check(findChild(window, name), name)
    }

    function test_dialogs() {
        show_model()
        var token_info = findChild(window, "dialog_token_info")
        open_and_check(token_info, "token-info-waiting")
        harness.token_info.show_info({serial: "OT000001", algorithm: "TOTP", hash: "SHA-256"})
        open_and_check(token_info, "token-info")
        open_and_check(findChild(window, "dialog_about"), "about")

        var credentials = findChild(window, "dialog_credentials")
        credentials.open()
        tryCompare(credentials, "opened", true)
        key_list.show_rows([{serial: "OT000001", algorithm: "TOTP", hash: "SHA-256", totp: true, active: true},
                            {serial: "OT000002", algorithm: "TOTP", hash: "SHA-256", totp: true, active: false},
                            {serial: "HT000001", algorithm: "HOTP", hash: "SHA-1", totp: false, active: false}])
        credentials.select_row(1)
        key_list.show_codes({"OT000002": {otp: 12345678, digits: 8, step: 1}})
        model.show_remain(21)
        check("credentials")
        credentials.select_row(2)
        check("credentials-hotp")
        for (var message of [{kind: "touch", text: "Press the key to get the OTP!"},
                             {kind: "no_credential", values: ["OT000009", "OT000001, OT000002"], text: ""}]) {
            key_list.show_message(message)
            check("credentials-failure")
        }
        credentials.close()
    }
}
