.pragma library

// The number as a code of width digits, zero-filled, with delimiter after the first half.
function pad(num, width, delimiter) {
    var text = "" + num
    while (text.length < width)
        text = "0" + text
    var half = Math.floor(width / 2)
    return text.substring(0, half) + delimiter + text.substring(half)
}

// A key as the window names it: its number, and its active credential's serial number once known.
function key_name(number, active) {
    return active !== "" ? qsTranslate("main", "Key %1: %2").arg(number).arg(active) : qsTranslate("main", "Key %1").arg(number)
}

// The words of text before and after the number n in it, such as ["noch ", " Sekunden"]; all of
// text before it when n is not there.
function around_number(text, n) {
    var number = "" + n
    var at = text.indexOf(number)
    return at < 0 ? [text, ""] : [text.substring(0, at), text.substring(at + number.length)]
}

// "&File" as Qt draws a mnemonic: the letter after "&" underlined, no "&".
function underlined_mnemonic(text) {
    return text.replace(/&(.)/, "<u>$1</u>")
}

// The letter after "&", upper-case, for an Alt shortcut.
function mnemonic_letter(text) {
    var at = text.indexOf("&")
    return at < 0 ? "" : text.charAt(at + 1).toUpperCase()
}
