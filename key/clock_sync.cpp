#include "key/clock_sync.h"

#include <cstdlib>
#include <cstring>

const char* const unsynchronised_clock_text = "This computer's clock is not synchronised: codes may be refused.";

platform::ClockSync clock_sync_state() {
  const char* injected = std::getenv("UMBRATA_TEST_CLOCK_SYNC");
  if (injected == nullptr) return platform::clock_sync();
  if (std::strcmp(injected, "synchronised") == 0) return platform::ClockSync::synchronised;
  if (std::strcmp(injected, "unsynchronised") == 0) return platform::ClockSync::unsynchronised;
  return platform::ClockSync::unknown;
}
