#include "gui/desktop/resume_event.h"

#include <windows.h>

ResumeEvent::ResumeEvent(QObject* parent) : QObject(parent) {}

// Sent to every top-level window, hidden ones too: the program's window hears it while it waits
// in the tray.
bool ResumeEvent::nativeEventFilter(const QByteArray&, void* message, long*) {
  const MSG* msg = static_cast<const MSG*>(message);
  if (msg && msg->message == WM_POWERBROADCAST && msg->wParam == PBT_APMRESUMEAUTOMATIC) emit resumed();
  return false;
}
