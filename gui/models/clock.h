#pragma once

#include "key/usbkey.h"

#include <cstdint>
#include <functional>

// The models' clock: milliseconds since the Unix epoch. Tests inject their own to cross step
// boundaries.
using Clock = std::function<std::int64_t()>;
Clock system_clock_ms();

// How long before its step begins a step's code is asked for, to be shown beside the code.
constexpr int next_code_seconds = 5;

// The TOTP step that holds ms.
inline std::int64_t step_index(std::int64_t ms) { return ms / (std::int64_t{totp_step_seconds} * 1000); }

// Whether ms lies in its step's last next_code_seconds, when the next step's code is asked for.
inline bool next_code_due(std::int64_t ms) {
  return (step_index(ms) + 1) * totp_step_seconds * 1000 - ms <= next_code_seconds * 1000;
}
