#pragma once

#include <string>

class QString;

// The few operating-system services the key layer needs; one implementation per platform.
namespace platform {

// The user's roaming application-data folder, in the local 8-bit encoding: on Windows UTF-8,
// which each program's manifest makes its active code page. Returns false when the system has
// none to offer.
bool user_app_data_folder(std::string& folder);

// Creates folder and every missing parent, readable by the user alone where the system
// allows it; folder itself is made so even when it existed. Returns false when the folder does
// not exist afterwards.
bool make_private_folder(const QString& folder);

// Creates the file when it is missing and makes it readable and writable by the user alone,
// where the system allows it. Returns false when that fails.
bool make_private_file(const std::string& path);

// True when the udev rule that lets the user at the seat open the key is installed, by the
// package or by hand: a key that cannot be opened then wants a replug, not the rule. Always
// false on Windows, which has no such rule.
bool key_access_rule_installed();

// True when the system refuses this program read and write access to the key interface at path
// for want of administrator rights: Windows (since 10 1903) opens FIDO interfaces, usage page
// 0xF1D0, only for programs run as administrator. Judged by the system's error code, never by a
// message text. hidapi would still open such an interface, without access, and fail at the first
// write, so discovery asks this first. Always false on Linux, where the udev rule decides.
bool key_interface_needs_administrator(const std::string& path);

// True when this program runs with administrator rights (on Windows, an elevated token).
bool running_elevated();

// Whether this computer's clock follows a time source, as the system tells a standard user.
enum class ClockSync { synchronised, unsynchronised, unknown };

// Linux: the kernel's own state, read with adjtimex(2) without modes (no privilege needed), as
// timedated's NTPSynchronized: unsynchronised when it reports TIME_ERROR or STA_UNSYNC, which a
// machine without a time daemon does for ever. Windows: unsynchronised when the time service
// (W32Time) is disabled or set not to synchronise (Type NoSync), synchronised when it is set to;
// unknown when the service is not installed or the system does not answer.
ClockSync clock_sync();

// Blocks the asynchronous signals for the calling thread, for its whole life, so that they go
// to another thread instead of interrupting this one's reads of the key.
void block_async_signals();

}  // namespace platform
