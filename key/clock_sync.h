#pragma once

#include "key/platform.h"

// The key has no clock: it computes the code of the time step it is sent, so a code is only as
// right as this computer's clock, and a service refuses codes from a clock that is a step off.
// What the user is told while the system says that the clock is not synchronised; it says "may",
// as many machines without a time daemon report an unsynchronised clock for ever.
extern const char* const unsynchronised_clock_text;

// The system's answer (platform::clock_sync), or the tests': UMBRATA_TEST_CLOCK_SYNC set to
// "synchronised", "unsynchronised" or "unknown" stands in for it.
platform::ClockSync clock_sync_state();
