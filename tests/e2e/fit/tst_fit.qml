import QtQuick 2.12
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
        waitForRendering(window.contentItem)
        // The menus, which the window makes when one is first opened.
        findChild(window, "menus").active = true
        harness.publish_model(true)
        frame.show_otp_status()
    }

    // Every shown text under item, with the popup (dialog or menu) it is in, if any.
    function texts(item, popup, found) {
        if (item.visible && item.opacity > 0) {
            if (item.truncated !== undefined && typeof item.text === "string" && item.text !== "")
                found.push({text: item, popup: popup})
            var in_popup = String(item).indexOf("QQuickPopupItem") === 0 ? item : popup
            for (var i = 0; i < item.children.length; ++i)
                texts(item.children[i], in_popup, found)
        }
        return found
    }

    // Saves the window as name, and checks where each text's content lies: its alignment places
    // it in its box.
    function check(name) {
        var root = window.contentItem
        // Grabbing lays the window out first: the layouts place their items as they are polished.
        verify(harness.save_window(root, name))
        for (var entry of texts(root, null, [])) {
            var text = entry.text
            var what = name + ": \"" + text.text + "\""
            verify(!text.truncated, what + " is cut")
            var x = text.leftPadding, room = text.width - text.leftPadding - text.rightPadding - text.contentWidth
            x += {[Text.AlignRight]: room, [Text.AlignHCenter]: room / 2}[text.effectiveHorizontalAlignment] || 0
            for (var area of entry.popup !== null ? [root, entry.popup] : [root]) {
                var left = text.mapToItem(area, x, 0).x
                verify(left >= -0.5 && left + text.contentWidth <= area.width + 0.5,
                       what + " runs from " + left + " to " + (left + text.contentWidth) + " of " + area.width)
            }
            var top = text.mapToItem(root, 0, 0).y
            verify(top + text.height <= root.height + 0.5, what + " runs down to " + (top + text.height) + " of " + root.height)
        }
    }

    // Opens the popup name (a dialog through the menu entry item, which makes it) and checks it.
    function open_and_check(name, shot, item) {
        if (item)
            findChild(window, item).triggered()
        var popup = findChild(window, name)
        if (!item)
            popup.open()
        tryCompare(popup, "opened", true)
        check(shot || name)
        popup.close()
        tryCompare(popup, "visible", false)
    }

    function test_pages_and_menus() {
        model.show_error("Failed to access the key.\nRe-plug in the key!")
        check("main-failure")
        model.show_error("Press the key to get the OTP!")
        check("main-press")
        model.show_code(1234567, 7)
        model.show_remain(4)
        model.show_next_step_code(7654321)
        harness.set_clock_sync("unsynchronised")
        frame.set_copied_code_left(true)
        check("main")
        for (var menu of ["menu_file", "menu_settings", "menu_help"])
            open_and_check(menu)
        model.show_hotp("HT000001")
        check("main-hotp")
        harness.publish_model(false)
        frame.show_otp_status()
        check("no-key")
        frame.set_key_without_access(true)
        check("no-key-no-access")
        frame.set_access_rule_installed(true)
        check("no-key-rule-installed")
        frame.set_key_needs_administrator(true)
        harness.restart.set_available(true)
        check("no-key-administrator")
    }

    function test_dialogs() {
        open_and_check("dialog_token_info", "token-info-waiting", "token_info_item")
        harness.token_info.show_info({serial: "OT000001", algorithm: "TOTP", hash: "SHA-256"})
        open_and_check("dialog_token_info", "", "token_info_item")
        open_and_check("dialog_about", "", "about_item")
        findChild(window, "credentials_item").triggered()
        var credentials = findChild(window, "dialog_credentials")
        tryCompare(credentials, "opened", true)
        key_list.show_rows([{serial: "OT000001", algorithm: "TOTP", hash: "SHA-256", totp: true, active: true},
                            {serial: "HT000001", algorithm: "HOTP", hash: "SHA-1", totp: false, active: false}])
        key_list.show_codes({"OT000001": {otp: 12345678, digits: 8, step: 1, next_otp: 87654321, next_digits: 8}})
        check("credentials")
        credentials.select_row(1)
        check("credentials-hotp")
        key_list.show_message({kind: "no_credential", values: ["OT000009", "OT000001, OT000002"], text: ""})
        check("credentials-failure")
        credentials.close()
        tryCompare(credentials, "visible", false)

        // The clock's line opens its explanation.
        model.show_code(123456, 6)
        harness.set_clock_sync("unsynchronised")
        mouseClick(findChild(findChild(window, "page").item, "clock_line"))
        var clock = findChild(window, "dialog_clock")
        tryCompare(clock, "opened", true)
        check("clock")
    }

    // The language asked for, and the countdown's plural forms in it.
    function test_plurals() {
        compare(harness.language, Qt.locale().uiLanguages[0].split(/[-_]/)[0])
        // One and two: these languages have no other forms.
        var expected = {en: "1 second left, 2 seconds left", de: "noch 1 Sekunde, noch 2 Sekunden",
                        fr: "1 seconde restante, 2 secondes restantes", es: "queda 1 segundo, quedan 2 segundos"}
        compare([1, 2].map(function(n) { return qsTranslate("otp_status_view", "%n seconds left", "", n) }).join(", "),
                expected[harness.language])
    }
}
