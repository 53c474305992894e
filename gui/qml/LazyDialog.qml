import QtQuick 2.12

// A dialog made when it is first opened: the window starts without it, and most runs never
// open one. item is the dialog once made.
Loader {
    active: false
    function open() {
        active = true
        item.open()
    }
}
