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
    property var frame: harness.frame

    function init() {
        harness.reset()
    }

    function make_window() {
        var component = Qt.createComponent("qrc:/main.qml")
        compare(component.status, Component.Ready, component.errorString())
        var window = createTemporaryObject(component, test)
        verify(window)
        return window
    }

    function make_page() {
        var component = Qt.createComponent("qrc:/otp_status_view.qml")
        compare(component.status, Component.Ready, component.errorString())
        var page = createTemporaryObject(component, test, {width: 320, height: 230})
        verify(page)
        return page
    }

    function current_page(window) {
        return findChild(window, "stackView").currentItem
    }

    function show_model(window) {
        harness.publish_model(true)
        frame.show_otp_status()
        compare(current_page(window).objectName, "otp_page")
        return current_page(window)
    }

    function test_pad() {
        harness.publish_model(true)
        var page = make_page()
        compare(page.pad(42, 6, " "), "000 042")
        compare(page.pad(123456, 6, " "), "123 456")
        compare(page.pad(42, 6, ""), "000042")
        compare(page.pad(1234567, 7, " "), "123 4567")
        compare(page.pad(42, 7, " "), "000 0042")
        compare(page.pad(12345678, 8, " "), "1234 5678")
        compare(page.pad(0, 8, ""), "00000000")
    }

    function test_page_without_code_shows_an_empty_box() {
        harness.publish_model(true)
        var page = make_page()
        var code = findChild(page, "otp_value_bar")
        compare(code.text, "")
        compare(code.width, 200)
        verify(!findChild(page, "btn_copy").visible)
        compare(findChild(page, "bar_left_time").text, "")
        compare(findChild(page, "bar_information").text, "")
        verify(findChild(page, "otp_timer").running)
        tryVerify(function() { return model.ticks > 0 }, 2000, "the page ticks every 600 ms")
    }

    function test_page_shows_errors_in_place_of_the_code() {
        harness.publish_model(true)
        var page = make_page()
        model.show_error("Failed to access the key.\nRe-plug in the key!")
        compare(findChild(page, "bar_information").text, "Failed to access the key.\nRe-plug in the key!")
        compare(findChild(page, "otp_value_bar").text, "")
        verify(!findChild(page, "btn_copy").visible)
        // A code whose value is 0 is shown as no code, with the error text as it stands.
        model.show_code(0, 6)
        compare(findChild(page, "otp_value_bar").text, "")
        compare(findChild(page, "bar_information").text, "Failed to access the key.\nRe-plug in the key!")
    }

    function test_code_with_leading_zeros_is_shown_and_copied_whole() {
        harness.publish_model(true)
        var page = make_page()
        model.show_code(42, 6)
        var code = findChild(page, "otp_value_bar")
        compare(code.text, "000 042")
        verify(code.width > 0 && code.width === code.implicitWidth)
        var copy = findChild(page, "btn_copy")
        verify(copy.visible)
        compare(findChild(page, "bar_information").text, "")
        var countdown = findChild(page, "bar_left_time")
        countdown.remain = 17
        compare(countdown.text, "17 seconds left")
        mouseClick(copy)
        compare(frame.copied, "000042")
    }

    function test_end_of_step_keeps_the_old_code_on_screen() {
        harness.publish_model(true)
        var page = make_page()
        model.show_code(123456, 6)
        var countdown = findChild(page, "bar_left_time")
        countdown.remain = 2
        compare(countdown.text, "2 seconds left")
        model.otp = 0  // what the page writes in the last second: no signal
        countdown.remain = 1
        compare(countdown.text, "", "the countdown goes blank at its next change")
        compare(findChild(page, "otp_value_bar").text, "123 456")
        var copy = findChild(page, "btn_copy")
        verify(copy.visible)
        mouseClick(copy)
        compare(frame.copied, "123456", "the copy is what is on screen, not the 0 in otp")
        model.show_code(654321, 6)
        compare(findChild(page, "otp_value_bar").text, "654 321")
    }

    function test_pages_follow_show_otp_status() {
        var window = make_window()
        compare(current_page(window).objectName, "init_page")
        show_model(window)
        harness.publish_model(false)
        frame.show_otp_status()
        compare(current_page(window).objectName, "init_page")
        frame.hid_change_event()
        compare(frame.rescans, 1)
    }

    function test_settings_menu_needs_a_model() {
        var window = make_window()
        var settings = findChild(window, "menu_settings")
        verify(!settings.enabled)
        var bar_item = window.menuBar.itemAt(1)
        compare(bar_item.contentItem.opacity, 0.3)
        harness.publish_model(true)
        verify(settings.enabled)
        compare(bar_item.contentItem.opacity, 1.0)
        compare(window.menuBar.itemAt(0).contentItem.opacity, 1.0)
    }

    function test_token_info_dialog_polls_until_the_text_arrives() {
        var window = make_window()
        var page = show_model(window)
        var dialog = findChild(window, "dialog_token_info")
        var timer = findChild(page, "otp_timer")
        dialog.open()
        tryCompare(dialog, "opened", true)
        verify(!timer.running, "the code refresh pauses while the dialog waits")
        verify(dialog.polling)
        tryVerify(function() { return model.async_queries >= 2 }, 2000)
        compare(findChild(window, "token_info_text").color, "#ff0000")
        model.token_info = "Serial Number: OT000001\nAlgorithm: TOTP\nHash: SHA-1\n"
        verify(!dialog.polling)
        compare(findChild(window, "token_info_text").text, "Serial Number: OT000001\nAlgorithm: TOTP\nHash: SHA-1\n")
        compare(findChild(window, "token_info_text").color, "#000000")
        verify(!timer.running, "still paused while the dialog stays open")
        dialog.close()
        tryCompare(dialog, "visible", false)
        verify(timer.running)

        // Known text: no polling, the refresh goes on.
        var queries = model.async_queries
        dialog.open()
        tryCompare(dialog, "opened", true)
        verify(!dialog.polling)
        verify(timer.running)
        wait(400)
        compare(model.async_queries, queries)
        dialog.close()
    }

    function test_token_info_dialog_closes_when_the_key_goes() {
        var window = make_window()
        show_model(window)
        var dialog = findChild(window, "dialog_token_info")
        dialog.open()
        tryCompare(dialog, "opened", true)
        verify(dialog.polling)
        harness.publish_model(false)
        tryCompare(dialog, "visible", false)
        verify(!dialog.polling)
        frame.show_otp_status()
        compare(current_page(window).objectName, "init_page")
        // Opened and closed over the init page, which has no timer: no error.
        dialog.open()
        dialog.close()
        tryCompare(dialog, "visible", false)
    }

    function test_dialogs_close_on_escape_and_x_only() {
        var window = make_window()
        window.requestActivate()
        tryCompare(window, "active", true)
        var dialog = findChild(window, "dialog_about")
        dialog.open()
        tryCompare(dialog, "opened", true)
        mouseClick(window.contentItem, 5, window.contentItem.height - 5)
        wait(50)
        verify(dialog.visible, "a click outside leaves it open")
        keyClick(Qt.Key_Escape)
        tryCompare(dialog, "visible", false)

        dialog.open()
        tryCompare(dialog, "opened", true)
        mouseClick(findChild(dialog.header, "close_button"))
        tryCompare(dialog, "visible", false)
    }

    function test_window_size_limits() {
        var window = make_window()
        compare(window.title, "Umbrata")
        compare(window.minimumWidth, 320)
        compare(window.minimumHeight, 325)
        compare(window.maximumWidth, 420)
        compare(window.maximumHeight, 425)
        compare(findChild(window, "stackView").height, 230)
    }
}
