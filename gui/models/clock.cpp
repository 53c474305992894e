#include "gui/models/clock.h"

#include <chrono>

Clock system_clock_ms() {
  return [] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
  };
}
