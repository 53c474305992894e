#pragma once

#include <hidapi.h>

// Discards every input report queued for dev and not yet read. hidapi has no such call, so it
// reads with a zero time-out until nothing is left (at most max_flushed_reports reports).
// Returns 0 on success, -1 when a read fails (the key is gone). Does not close or free dev.
int hid_flush_queue(hid_device* dev);

constexpr int max_flushed_reports = 256;
