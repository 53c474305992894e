#pragma once

#include "key/clock_sync.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

// Whether this computer's clock is synchronised, published to the views as "clock_check": the
// key computes the code of the time step it is sent, so a code is only as right as the clock.
// The system is asked at start, every interval_ms, and at check() (after the computer resumes),
// never more often; the log says what it answered once per change. Lives on the GUI thread.
class ClockCheck : public QObject {
  Q_OBJECT
  // False only while the system says that the clock is not synchronised: a system that does not
  // say is not doubted.
  Q_PROPERTY(bool synchronised READ get_synchronised NOTIFY synchronised_changed)

 public:
  using Source = std::function<platform::ClockSync()>;
  static constexpr int interval_ms = 10 * 60 * 1000;

  // Asks source at once; tests inject theirs.
  explicit ClockCheck(Source source = clock_sync_state, QObject* parent = nullptr);

  // Asks the system now, and again interval_ms later.
  void check();
  bool get_synchronised() const { return state != platform::ClockSync::unsynchronised; }

 signals:
  void synchronised_changed();

 private:
  Source source;
  QTimer timer;
  std::optional<platform::ClockSync> state;
};
