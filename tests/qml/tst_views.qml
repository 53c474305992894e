import QtQuick 2.12
import QtQuick.Window 2.12
import QtTest 1.2

TestCase {
    id: test
    name: "Views"
    when: windowShown
    visible: true  // the pages made here are shown, so their buttons can be clicked
    width: 400
    height: 400

    property var model: harness.model
    property var key_list: harness.credentials  // not "credentials": the views made here would see it
    property var frame: harness.frame

    function init() {
        harness.reset()
    }

    function make(url, properties) {
        var component = Qt.createComponent(url)
        compare(component.status, Component.Ready, component.errorString())
        var item = createTemporaryObject(component, test, properties)
        verify(item)
        return item
    }

    function current_page(window) {
        return findChild(window, "page").item
    }

    // An entry of the window's menus, which are made when first opened.
    function menu_item(window, name) {
        findChild(window, "menus").active = true
        return findChild(window, name)
    }

    function show_model(window) {
        harness.publish_model(true)
        frame.show_otp_status()
        compare(current_page(window).objectName, "otp_page")
    }

    function test_page_shows_the_code_or_the_error_and_copies_what_is_shown() {
        harness.publish_model(true)
        var page = make("qrc:/otp_status_view.qml", {width: 320, height: 230})
        compare(page.pad(1234567, 7, " "), "123 4567", "an odd number of digits")
        var code = findChild(page, "otp_value_bar")
        var copy = findChild(page, "btn_copy")
        var countdown = findChild(page, "bar_left_time")
        compare(code.text, "")
        verify(!copy.visible)

        model.show_error("Failed to access the key.\nRe-plug in the key!")
        compare(findChild(page, "bar_information").text, "Failed to access the key.\nRe-plug in the key!")
        // A code of 000000 is a code like any other.
        model.show_code(0, 6)
        compare(code.text, "000 000")
        verify(copy.visible)
        compare(findChild(page, "bar_information").text, "")
        model.show_remain(1)
        compare(countdown.text, "1 second left")
        // The countdown's window onto its strip of numbers: one whole line, the one of remain.
        var strip = findChild(countdown, "seconds_strip")
        var lens = strip.parent
        var lines = strip.text.split("\n")
        compare(strip.contentHeight, lines.length * lens.height, "lines one window high")
        var metrics = createTemporaryQmlObject("import QtQuick 2.9; FontMetrics {}", page)
        metrics.font = strip.font
        for (var remain of [30, 10, 9, 0]) {
            model.show_remain(remain)
            var shown = -strip.y / lens.height
            compare([shown, lines[shown]], [Math.round(shown), "" + remain])
            verify(metrics.advanceWidth(lines[shown]) <= lens.width + 0.5, "the window is wide enough for " + remain)
        }
        mouseClick(copy)
        compare(frame.last_copy, "000000")
        model.show_error("")
        compare(countdown.text, "", "no countdown without a code")
    }

    // In the step's last seconds, beneath the code: the next step's, smaller, with its own copy.
    function test_the_next_steps_code_has_its_own_copy() {
        harness.publish_model(true)
        var page = make("qrc:/otp_status_view.qml", {width: 320, height: 230})
        model.show_code(0, 6)
        compare(findChild(page, "next_code_row"), null)
        model.show_next_step_code(982430)
        var row = findChild(page, "next_code_row")
        compare([findChild(row, "next_code").text, row.Accessible.name], ["982 430", "Next one-time password 982 430"])
        mouseClick(findChild(row, "btn_copy_next"))
        compare(frame.last_copy, "982430")
    }

    // A code is only as right as the computer's clock: the page says so while the system says that
    // it is not synchronised, unless the user turned the warning off. A click on it opens the
    // explanation: fit_test.sh, in a real X server.
    function test_the_clock_line_follows_the_clock_and_the_setting() {
        harness.publish_model(true)
        var page = make("qrc:/otp_status_view.qml", {width: 320, height: 230})
        function shown() { return findChild(page, "clock_line") !== null }
        model.show_code(123456, 6)
        verify(!shown(), "a synchronised clock")
        harness.set_clock_sync("unsynchronised")
        verify(shown())
        harness.set_clock_sync("unknown")
        tryVerify(function() { return !shown() }, 1000, "a system that does not say is not doubted")
        harness.set_clock_sync("unsynchronised")
        harness.settings.warn_unsynchronised_clock = false
        tryVerify(function() { return !shown() }, 1000, "the warning turned off")
    }

    // Shown as their characters, as plain text lays them out, not as markup would.
    function verify_plain(item, why) {
        var reference = createTemporaryQmlObject("import QtQuick 2.9; Text {}", item)
        reference.font = item.font
        reference.text = item.text
        var widths = [Text.PlainText, Text.RichText].map(function(format) {
            reference.textFormat = format
            return reference.implicitWidth
        })
        verify(widths[0] > widths[1], "the markup in " + item.text + " makes a difference")
        compare(item.implicitWidth, widths[0], why)
    }

    function test_an_hotp_credential_gets_a_code_only_at_next_code() {
        harness.publish_model(true)
        var page = make("qrc:/otp_status_view.qml", {width: 320, height: 230})
        var next = findChild(page, "btn_next_code")
        verify(!next.visible)
        model.show_hotp("HT000001")
        verify(next.visible)
        compare(findChild(page, "hotp_note").text.indexOf("HT000001 is an HOTP credential"), 0)
        page.forceActiveFocus()
        for (var press of [function() { keyClick(Qt.Key_Return) }, function() { mouseClick(next) }]) {
            var before = model.next_codes
            press()
            compare(model.next_codes, before + 1)
        }
        model.show_code(755224, 6)
        model.show_remain(12)
        compare(findChild(page, "bar_left_time").text, "", "an HOTP code has no countdown")
        mouseClick(findChild(page, "btn_copy"))
        compare(frame.last_copy, "755224")
        compare(findChild(page, "otp_value_bar").text, "", "a copied HOTP code goes")
    }

    // Back to this page when the key goes: program_test.sh (the code box goes) and accessibility_test.sh.
    function test_without_a_key_the_page_says_why_and_offers_what_helps() {
        var window = make("qrc:/main.qml")
        compare(current_page(window).objectName, "init_page")
        var hint = findChild(current_page(window), "access_hint")
        verify(!hint.visible)
        frame.set_key_without_access(true)
        verify(hint.visible)
        for (var [installed, advice] of [[false, "See the README: udev rule."],
                                         [true, "Its udev rule is in place: replug the key."]]) {
            frame.set_access_rule_installed(installed)
            compare(hint.text, "A key is plugged in, but you may not open it.\n" + advice)
        }
        // Windows refused the key for want of administrator rights: a restart is offered unless
        // the program already runs as administrator.
        var restart = findChild(current_page(window), "btn_restart_as_administrator")
        verify(!restart.visible)
        frame.set_key_needs_administrator(true)
        compare(hint.text, "A key is plugged in, but Windows lets only\nadministrators open it.")
        verify(!restart.visible, "not offered to a program that runs as administrator already")
        harness.restart.set_available(true)
        mouseClick(restart)
        compare(harness.restart.restarts, 1)
    }

    function test_settings_without_a_key_or_a_tray() {
        var window = make("qrc:/main.qml")
        var keep_in_tray = menu_item(window, "keep_in_tray_item")
        verify(!keep_in_tray.enabled, "no tray host on the test's bus")
        verify(keep_in_tray.text.endsWith("\n(this desktop shows no tray icons)"), keep_in_tray.text)
        verify(!menu_item(window, "token_info_item").enabled)
        var clear = menu_item(window, "clear_clipboard_item")
        compare(clear.checked, harness.settings.clear_copied_codes)
        for (var expected of [!clear.checked, clear.checked]) {
            clear.toggle()
            compare(harness.settings.clear_copied_codes, expected)
        }
        show_model(window)
        verify(menu_item(window, "token_info_item").enabled)
    }

    function test_credentials_dialog_lists_filters_and_shows_the_selected_code() {
        var window = make("qrc:/main.qml")
        show_model(window)
        menu_item(window, "credentials_item").triggered()
        var dialog = findChild(window, "dialog_credentials")
        var list = findChild(window, "credentials_list")
        var line = findChild(window, "credential_line")
        tryCompare(dialog, "opened", true)
        key_list.show_rows([{serial: "<b>OT</b>0001<br>", algorithm: "TOTP", hash: "SHA-1", totp: true, active: false}])
        verify_plain(list.itemAtIndex(0).contentItem, "a serial number in the list")
        key_list.show_rows([{serial: "OT000001", algorithm: "TOTP", hash: "SHA-1", totp: true, active: true},
                            {serial: "OT000002", algorithm: "TOTP", hash: "SHA-256", totp: true, active: false},
                            {serial: "HT000001", algorithm: "HOTP", hash: "SHA-1", totp: false, active: false}])
        compare(key_list.watched.dialog, ["OT000001"], "the active credential is selected first")
        compare(list.itemAtIndex(0).text, "OT000001  TOTP  SHA-1  (active)")
        // From the filter, which has the focus: Down, then Enter before the code has come.
        window.requestActivate()
        tryVerify(function() { return findChild(window, "credentials_filter").activeFocus })
        keyClick(Qt.Key_Down)
        compare(key_list.watched.dialog, ["OT000002"])
        keyClick(Qt.Key_Return)
        compare(frame.last_copy, "")
        key_list.show_codes({"OT000002": {otp: 1234567, digits: 8, step: 1}})
        compare(findChild(window, "credential_code").text, "0123 4567")
        verify(/^\d+ seconds left$/.test(line.text), line.text)
        compare(frame.last_copy, "01234567", "copied when it came")
        // The next step's code, in the step's last seconds.
        verify(key_list.watched.dialog_next_step)
        verify(!findChild(window, "credential_next_code").visible)
        key_list.show_codes({"OT000002": {otp: 1234567, digits: 8, step: 1, next_otp: 7654321, next_digits: 8}})
        compare(findChild(window, "credential_next_code").text, "0765 4321")

        findChild(window, "credentials_filter").text = " ht"
        compare(list.count, 1)
        compare(key_list.watched.dialog, [], "a credential filtered out is not selected")
        dialog.select_row(0)
        compare(line.text, "HOTP: a code would count up the key")
        verify(!findChild(window, "make_active").visible)
        // A failure of a kind the view words, and one it shows as the key gave it.
        key_list.show_message({kind: "no_credential", values: ["OT9", "OT000001, OT000002"], text: ""})
        compare(line.text, "No credential OT9 on the key; it holds OT000001, OT000002")
        key_list.show_message({kind: "other", values: [], text: "resp_code exception: Wrong length"})
        compare(line.text, "resp_code exception: Wrong length")
        harness.publish_model(false)
        tryCompare(dialog, "visible", false, 2000, "the dialog closes when the key goes")
    }

    // The window starts without its menus; Alt and a title's letter makes and opens one. Left and
    // Right along the bar: credentials_test.sh.
    function test_menus_are_made_when_first_opened() {
        var window = make("qrc:/main.qml", {width: 320, height: 325})
        window.requestActivate()
        tryCompare(window, "active", true)
        verify(!findChild(window, "menus").active)
        keyClick(Qt.Key_S, Qt.AltModifier)
        tryCompare(findChild(window, "menus").item, "open_menu", findChild(window, "menu_settings"))
    }

    function test_help_menu_opens_the_readme_sections_for_users() {
        var window = make("qrc:/main.qml", {width: 320, height: 325})
        menu_item(window, "menu_user_guide").triggered()
        var guide = findChild(window, "user_guide_window")
        tryCompare(guide, "visible", true)
        var lines = findChild(window, "user_guide_text").text.split("\n")
        for (var [title, shown] of [["## Install", true], ["## Using Umbrata with your key", true],
                                    ["### Troubleshooting", true], ["## umbrata-cli", true], ["## The log", true],
                                    ["## Playing with the demo", false], ["## The key layer", false], ["## Layout", false]])
            compare(lines.indexOf(title) >= 0, shown, title)
        var view = findChild(window, "user_guide_view")
        verify(view.contentHeight > 3 * view.height, "the whole guide, in a view that scrolls")
    }

    function test_token_info_dialog_polls_until_the_text_arrives() {
        var window = make("qrc:/main.qml")
        show_model(window)
        menu_item(window, "token_info_item").triggered()
        var dialog = findChild(window, "dialog_token_info")
        tryCompare(dialog, "opened", true)
        tryVerify(function() { return harness.token_info.refreshes >= 2 }, 2000, "asked until the key answers")
        harness.token_info.show_info({serial: "OT000001", algorithm: "TOTP", hash: "SHA-1"})
        compare(findChild(window, "token_info_text").text, "Serial Number: OT000001\nAlgorithm: TOTP\nHash: SHA-1\n")
        harness.token_info.show_info({serial: "<b>OT</b>1<br>&lt;", algorithm: "TOTP", hash: "SHA-1"})
        verify_plain(findChild(window, "token_info_text"), "a serial number in Token Info")
        verify(!dialog.polling)
        harness.publish_model(false)
        tryCompare(dialog, "visible", false, 2000, "the dialog closes when the key goes")
    }
}
