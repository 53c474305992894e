#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

// Counts a signal on the GUI thread (emissions from other threads arrive queued) and waits for
// it with a time-out, running the event loop meanwhile: no fixed sleeps.
class SignalCounter : public QObject {
 public:
  template <class Sender, class Signal>
  SignalCounter(const Sender* sender, Signal signal) {
    connect(sender, signal, this, [this] {
      ++count;
      if (loop.isRunning()) loop.quit();
    });
  }

  // True once count has reached n; false when timeout_ms passed first.
  bool wait_for(int n, int timeout_ms = 5000) {
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(timeout_ms);
    while (count < n && timer.isActive()) loop.exec();
    return count >= n;
  }

  // Lets queued signals arrive without waiting for any.
  static void process_events() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

  int count = 0;

 private:
  QEventLoop loop;
};
