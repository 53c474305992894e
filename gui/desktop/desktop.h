#pragma once

#include <QtGlobal>

class QMimeData;
class QString;
class QStringList;

// What the window needs of the desktop beyond Qt; one implementation per platform.
namespace desktop {

// Marks a copied code as a secret for the desktop's clipboard history and sync, in the formats
// the platform's clipboard readers look for. The text itself is already in data.
void mark_secret(QMimeData& data);

// How the desktop took a request to empty the clipboard.
enum class ClipboardWipe {
  cleared,      // the desktop says the clipboard no longer holds the copy
  other,        // it holds another program's copy, or nothing: left alone
  refused,      // the desktop kept the copy
  unavailable,  // no such way here: Qt's clipboard it is
};

// Where the desktop lets a program empty the clipboard with no window of its own in front
// (Wayland's data control, on Linux), empties it if it still holds the copy that offered the
// MIME type mark. Elsewhere returns unavailable at once.
ClipboardWipe clear_marked_clipboard(const QString& mark);

// How Qt's clipboard takes a copy out, where no way of the desktop's did.
enum class QtClipboardWipe {
  clear,             // cleared, then read back from the desktop (X11, Windows)
  replace,           // only another copy takes its place: the Wayland compositor behind X11 keeps
                     // a copy of a selection whose owner lets go (XWayland)
  replace_at_input,  // the same, and only with the serial of a fresh input event (Wayland)
};
QtClipboardWipe qt_clipboard_wipe();

// A GUI program has no console of its own: --help and --version would go nowhere when typed in
// a terminal. Where the program was started from one and its output goes nowhere else, this
// joins that console. Returns true when the standard output then reaches someone: a console, a
// file or a pipe; false where only a message box can show a text. Call before anything is
// printed.
bool attach_parent_console();

// Starts this program again with administrator rights (asking the user, as the system does),
// with arguments. Returns false when it did not start: refused, cancelled, or not possible on
// this platform.
bool restart_as_administrator(const QStringList& arguments);

// Where the program's one instance in the user's session is found: the name under which it
// listens for later starts (a QLocalServer name), and the lock file whose holder is that instance.
// On Linux both lie in $XDG_RUNTIME_DIR, named after the display, so that two displays of one user
// (two X servers) are two sessions; without that folder, in a folder of the user's alone under
// the cache folder, never in the temporary folder that every user writes to. Both are empty when
// the user has neither. On Windows the name holds the login session's id and the user's name,
// and the lock lies in the user's own temporary folder.
QString instance_name();
QString instance_lock_file();

// True when the instance that answered on the connected local socket runs as this process's
// user. Windows' pipe names are one namespace for all the users of the machine; on Linux the
// socket's peer is checked all the same.
bool instance_server_is_this_user(qintptr socket_descriptor);

// Lets the running instance bring its window to the front when this process asks it to: Windows
// lets only the process the user last acted on take the foreground. Nothing elsewhere.
void let_running_instance_come_forward();

}  // namespace desktop
