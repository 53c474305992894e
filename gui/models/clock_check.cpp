#include "gui/models/clock_check.h"

#include <easylogging++.h>

ClockCheck::ClockCheck(Source source, QObject* parent) : QObject(parent), source(std::move(source)) {
  // Ten minutes late or early is all the same: the system may fold the wake-up into another.
  timer.setTimerType(Qt::VeryCoarseTimer);
  timer.setSingleShot(true);
  timer.setInterval(interval_ms);
  connect(&timer, &QTimer::timeout, this, &ClockCheck::check);
  check();
}

void ClockCheck::check() {
  timer.start();
  const platform::ClockSync now = source();
  if (now == state) return;
  const bool was_synchronised = get_synchronised();
  state = now;
  switch (now) {
    case platform::ClockSync::synchronised:
      LOG(INFO) << "This computer's clock is synchronised";
      break;
    case platform::ClockSync::unsynchronised:
      LOG(WARNING) << unsynchronised_clock_text;
      break;
    case platform::ClockSync::unknown:
      LOG(INFO) << "This computer does not say whether its clock is synchronised";
      break;
  }
  if (get_synchronised() != was_synchronised) emit synchronised_changed();
}
