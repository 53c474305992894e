.pragma library

// The number as a code of width digits, zero-filled, with delimiter after the first half.
function pad(num, width, delimiter) {
    var text = "" + num
    while (text.length < width)
        text = "0" + text
    var half = Math.floor(width / 2)
    return text.substring(0, half) + delimiter + text.substring(half)
}
