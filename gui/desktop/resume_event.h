#pragma once

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QObject>

// Tells when the computer has woken from sleep, when what was asked of the system before may no
// longer hold (whether the clock is synchronised). One unit per platform: logind's
// PrepareForSleep on Linux, WM_POWERBROADCAST on Windows.
class ResumeEvent : public QObject, public QAbstractNativeEventFilter {
  Q_OBJECT

 public:
  explicit ResumeEvent(QObject* parent = nullptr);
  // On Windows, the resume's WM_POWERBROADCAST; elsewhere nothing. Never consumes a message:
  // always false.
  bool nativeEventFilter(const QByteArray& event_type, void* message, long* result) override;

 signals:
  void resumed();

 private slots:
  // logind's signal, true as the computer goes to sleep and false as it wakes.
  void prepare_for_sleep(bool starting) {
    if (!starting) emit resumed();
  }
};
