#include "gui/desktop/resume_event.h"

#include <QDBusConnection>

ResumeEvent::ResumeEvent(QObject* parent) : QObject(parent) {
  // Without a system bus or logind, no wake-up is told: what depends on it is asked again later.
  QDBusConnection::systemBus().connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                                       QStringLiteral("org.freedesktop.login1.Manager"),
                                       QStringLiteral("PrepareForSleep"), this, SLOT(prepare_for_sleep(bool)));
}

bool ResumeEvent::nativeEventFilter(const QByteArray&, void*, long*) { return false; }
