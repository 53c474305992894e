#include "key/hid_flush_queue.h"

int hid_flush_queue(hid_device* dev) {
  unsigned char report[256];
  for (int i = 0; i < max_flushed_reports; ++i) {
    const int n = hid_read_timeout(dev, report, sizeof report, 0);
    if (n < 0) return -1;
    if (n == 0) return 0;
  }
  return 0;
}
