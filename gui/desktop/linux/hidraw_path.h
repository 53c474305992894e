#pragma once

#include <QString>

// The path text of a hidraw device as the watcher tests it, with the vendor written as Windows
// writes it: "hidraw3 VID_096E&PID_0858", from the HID id in the device path (the
// "0003:096E:0858.0004" component). Remove events carry it too, since sysfs is gone by then.
// Without a HID id the text is the device name alone.
QString hidraw_path_text(const QString& sysname, const QString& devpath);
