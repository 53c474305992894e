#include "gui/desktop.h"

#include <QByteArray>
#include <QMimeData>
#include <QString>
#include <QStringList>

namespace desktop {

// What password managers set: KDE's and other clipboard managers leave such an entry out of
// their history.
void mark_secret(QMimeData& data) {
  data.setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
}

// The terminal's output is the program's own already.
bool attach_parent_console() { return true; }

// A key that the user may not open wants a udev rule here, never root.
bool restart_as_administrator(const QStringList&) { return false; }

}  // namespace desktop
