#pragma once

#include "gui/desktop/desktop.h"

#include <string>

// The clipboard as Wayland's data control lets a program see and set it with no window of its
// own in front: wlroots compositors (sway among them) and KWin offer it to clipboard tools.
// Weston and GNOME's compositor do not. A connection of its own to the compositor named by
// WAYLAND_DISPLAY, beside Qt's, opened for one call and closed again.
namespace data_control {

// Empties the clipboard if its selection offers the MIME type mark, which only the copy that put
// it there offers: cleared once the compositor reports the selection gone; unavailable without a
// Wayland compositor, without data control, or when the connection fails; refused when the
// compositor does not answer within about a second, for each of its round trips. Waits for the
// compositor's answers on its own connection only: Qt's, whose window may be answering the
// compositor for that very selection, is never waited on.
desktop::ClipboardWipe clear_marked_selection(const std::string& mark);

}  // namespace data_control
