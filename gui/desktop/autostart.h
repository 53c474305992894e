#pragma once

#include <functional>

class QObject;
class QString;
class QStringList;

// Starting the program at the user's login; one implementation per platform.
namespace autostart {

// True when what starts the program at login is there, as far as can be seen at once: the XDG
// autostart entry (Linux), the Run value (Windows). A logon task (Windows) takes a slower
// question: ask_logon_task.
bool enabled();

// True when what enabled() sees starts the program without administrator rights, which the key
// needs on Windows (the Run value). Never on Linux, where the udev rule grants access to the key.
bool starts_unelevated();

// True where a logon task may start the program, which only ask_logon_task tells (Windows).
bool may_have_logon_task();

// Asks, without waiting, whether a logon task of the program's exists for this user: schtasks
// takes seconds. Calls answer on this thread when it knows, while receiver lives; never when the
// question failed (logged) or where there are no logon tasks.
void ask_logon_task(QObject* receiver, std::function<void(bool exists)> answer);

// Writes (on) or removes (off) what starts program with arguments at the user's login. Returns
// true when that is done; false, with the reason logged, when it failed (nothing half-written is
// left). Removing what is not there is done already.
bool set_enabled(bool on, const QString& program, const QStringList& arguments);

}  // namespace autostart
