#include "gui/desktop/linux/hidraw_path.h"

#include <QRegularExpression>
#include <QStringList>

QString hidraw_path_text(const QString& sysname, const QString& devpath) {
  static const QRegularExpression hid_id("^[0-9A-Fa-f]{4}:([0-9A-Fa-f]{4}):([0-9A-Fa-f]{4})\\.[0-9A-Fa-f]+$");
  for (const QString& part : devpath.split('/', Qt::SkipEmptyParts)) {
    const QRegularExpressionMatch m = hid_id.match(part);
    if (m.hasMatch()) return sysname + " VID_" + m.captured(1).toUpper() + "&PID_" + m.captured(2).toUpper();
  }
  return sysname;
}
