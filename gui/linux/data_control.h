#pragma once

#include <string>

// The clipboard as Wayland's data control lets a program see and set it with no window of its
// own in front: wlroots compositors (sway among them) and KWin offer it to clipboard tools.
// Weston and GNOME's compositor do not. A connection of its own to the compositor named by
// WAYLAND_DISPLAY, beside Qt's, opened for one call and closed again.
namespace data_control {

enum class Result {
  cleared,      // the selection offered mark; the compositor reports it gone now
  other,        // the selection is another program's, or there is none: left alone
  refused,      // the compositor kept the marked selection
  unavailable,  // no Wayland compositor, no data control, or the connection failed
};

// Empties the clipboard if its selection offers the MIME type mark, which only the copy that put
// it there offers. Waits for the compositor's answers on its own connection only: Qt's, whose
// window may be answering the compositor for that very selection, is never waited on.
Result clear_marked_selection(const std::string& mark);

}  // namespace data_control
