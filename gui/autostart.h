#pragma once

class QString;
class QStringList;

// Starting the program at the user's login; one implementation per platform.
namespace autostart {

// True when the program is set to start at the user's login.
bool enabled();

// Writes (on) or removes (off) what starts program with arguments at the user's login. Returns
// true when that is done; false, with the reason logged, when it failed (nothing half-written is
// left). Removing what is not there is done already.
bool set_enabled(bool on, const QString& program, const QStringList& arguments);

}  // namespace autostart
