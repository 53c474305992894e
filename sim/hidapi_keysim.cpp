// hidapi's API over keysim's socket: the program links this instead of hidapi-hidraw and
// reaches simulated keys exactly as it would reach real ones.
#include "sim/wire.h"

#include <hidapi.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <sstream>
#include <string>

namespace {

constexpr std::size_t report_size = 64;

thread_local std::wstring global_error;

std::wstring widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

wchar_t* duplicate(const std::wstring& text) {
  auto* copy = static_cast<wchar_t*>(std::calloc(text.size() + 1, sizeof(wchar_t)));
  if (copy) std::wmemcpy(copy, text.c_str(), text.size());
  return copy;
}

}  // namespace

struct hid_device_ {
  keysim::wire::Socket fd = keysim::wire::invalid_socket;
  bool nonblocking = false;
  bool gone = false;
  std::wstring error;

  int fail(const std::string& message) {
    error = widen(message);
    return -1;
  }
};

extern "C" {

int HID_API_EXPORT HID_API_CALL hid_init(void) { return 0; }

int HID_API_EXPORT HID_API_CALL hid_exit(void) { return 0; }

// Lists the interfaces of every plugged key; null when there are none or no server runs.
struct hid_device_info HID_API_EXPORT* HID_API_CALL hid_enumerate(unsigned short vendor_id, unsigned short product_id) {
  const keysim::wire::Socket fd = keysim::wire::connect_to(keysim::wire::socket_path());
  if (fd == keysim::wire::invalid_socket) {
    global_error = L"no keysim server";
    return nullptr;
  }
  std::string reply;
  const bool answered = keysim::wire::request(fd, "LIST", reply);
  keysim::wire::close_socket(fd);
  if (!answered || reply.rfind("OK\n", 0) != 0) {
    global_error = L"the keysim server did not answer";
    return nullptr;
  }
  hid_device_info* first = nullptr;
  hid_device_info** tail = &first;
  std::istringstream lines(reply.substr(3));
  for (std::string line; std::getline(lines, line);) {
    std::istringstream in(line);
    std::string word, id;
    int interface = 0;
    unsigned vid = 0, pid = 0, usage_page = 0, usage = 0;
    if (!(in >> word >> id >> interface >> std::hex >> vid >> pid >> usage_page >> usage) || word != "DEVICE") continue;
    if ((vendor_id && vid != vendor_id) || (product_id && pid != product_id)) continue;
    auto* info = static_cast<hid_device_info*>(std::calloc(1, sizeof(hid_device_info)));
    if (!info) break;
    const std::string path = "keysim:" + id + ":" + std::to_string(interface);
    info->path = strdup(path.c_str());
    info->vendor_id = static_cast<unsigned short>(vid);
    info->product_id = static_cast<unsigned short>(pid);
    info->serial_number = duplicate(widen(id));
    info->release_number = 0x0100;
    info->manufacturer_string = duplicate(L"keysim");
    info->product_string = duplicate(L"Simulated OTP key");
    info->usage_page = static_cast<unsigned short>(usage_page);
    info->usage = static_cast<unsigned short>(usage);
    info->interface_number = interface;
    info->bus_type = HID_API_BUS_USB;
    *tail = info;
    tail = &info->next;
  }
  return first;
}

void HID_API_EXPORT HID_API_CALL hid_free_enumeration(struct hid_device_info* devs) {
  while (devs) {
    hid_device_info* next = devs->next;
    std::free(devs->path);
    std::free(devs->serial_number);
    std::free(devs->manufacturer_string);
    std::free(devs->product_string);
    std::free(devs);
    devs = next;
  }
}

// Opens "keysim:<id>:<interface>". Returns null when the key is unknown, unplugged or has no
// such interface, or when no server runs. The caller owns the handle and frees it with hid_close.
HID_API_EXPORT hid_device* HID_API_CALL hid_open_path(const char* path) {
  const std::string text = path ? path : "";
  const auto colon = text.rfind(':');
  if (text.rfind("keysim:", 0) != 0 || colon <= 7) {
    global_error = L"not a keysim path";
    return nullptr;
  }
  const keysim::wire::Socket fd = keysim::wire::connect_to(keysim::wire::socket_path());
  if (fd == keysim::wire::invalid_socket) {
    global_error = L"no keysim server";
    return nullptr;
  }
  std::string reply;
  if (!keysim::wire::request(fd, "OPEN " + text.substr(7, colon - 7) + " " + text.substr(colon + 1), reply) ||
      reply.rfind("OK", 0) != 0) {
    keysim::wire::close_socket(fd);
    global_error = L"cannot open " + widen(text);
    return nullptr;
  }
  auto* dev = new hid_device_;
  dev->fd = fd;
  return dev;
}

HID_API_EXPORT hid_device* HID_API_CALL hid_open(unsigned short vendor_id, unsigned short product_id,
                                                 const wchar_t* serial_number) {
  hid_device_info* devs = hid_enumerate(vendor_id, product_id);
  hid_device* dev = nullptr;
  for (hid_device_info* d = devs; d && !dev; d = d->next) {
    if (!serial_number || (d->serial_number && std::wcscmp(serial_number, d->serial_number) == 0))
      dev = hid_open_path(d->path);
  }
  hid_free_enumeration(devs);
  return dev;
}

// data[0] is the report id; the rest is sent as one output report of the length given, as
// hidraw sends it (the key sees a short report short). Returns length, or -1 when the key is
// gone, nothing follows the report id, or the report is too long.
int HID_API_EXPORT HID_API_CALL hid_write(hid_device* dev, const unsigned char* data, size_t length) {
  if (!dev) return -1;
  if (length <= 1 || !data) return dev->fail("zero-length write");
  if (length > report_size + 1) return dev->fail("report longer than the output report");
  if (dev->gone) return dev->fail("device disconnected");
  if (const auto sent = keysim::wire::send_message(dev->fd, data + 1, length - 1); sent != keysim::wire::Sent::whole) {
    dev->gone = sent == keysim::wire::Sent::peer_gone;
    return dev->fail(dev->gone ? "device disconnected" : "output queue full");
  }
  return static_cast<int>(length);
}

// Reads one input report (without report id). Returns its length, 0 on time-out (or at once in
// non-blocking mode with nothing queued), -1 once the key is gone or when a signal interrupts
// the wait, as hidraw does. milliseconds -1 blocks.
int HID_API_EXPORT HID_API_CALL hid_read_timeout(hid_device* dev, unsigned char* data, size_t length,
                                                 int milliseconds) {
  if (!dev) return -1;
  if (dev->gone) return dev->fail("device disconnected");
  unsigned char report[report_size + 1];
  const long n = keysim::wire::receive_message(dev->fd, report, sizeof report, milliseconds, true);
  if (n == 0) return 0;
  if (n == keysim::wire::interrupted) return dev->fail("interrupted by a signal");
  if (n < 0) {
    dev->gone = true;
    return dev->fail("device disconnected");
  }
  const std::size_t copied = std::min(static_cast<std::size_t>(n), length);
  std::memcpy(data, report, copied);
  return static_cast<int>(copied);
}

int HID_API_EXPORT HID_API_CALL hid_read(hid_device* dev, unsigned char* data, size_t length) {
  return hid_read_timeout(dev, data, length, dev && dev->nonblocking ? 0 : -1);
}

int HID_API_EXPORT HID_API_CALL hid_set_nonblocking(hid_device* dev, int nonblock) {
  if (!dev) return -1;
  dev->nonblocking = nonblock != 0;
  return 0;
}

void HID_API_EXPORT HID_API_CALL hid_close(hid_device* dev) {
  if (!dev) return;
  keysim::wire::close_socket(dev->fd);
  delete dev;
}

int HID_API_EXPORT HID_API_CALL hid_send_feature_report(hid_device* dev, const unsigned char*, size_t) {
  return dev ? dev->fail("feature reports are not supported by the simulated key") : -1;
}

int HID_API_EXPORT HID_API_CALL hid_get_feature_report(hid_device* dev, unsigned char*, size_t) {
  return dev ? dev->fail("feature reports are not supported by the simulated key") : -1;
}

// The last error of dev, or of the last enumerate or open when dev is null. Owned by the library.
HID_API_EXPORT const wchar_t* HID_API_CALL hid_error(hid_device* dev) {
  if (!dev) return global_error.empty() ? nullptr : global_error.c_str();
  return dev->error.empty() ? nullptr : dev->error.c_str();
}

HID_API_EXPORT const struct hid_api_version* HID_API_CALL hid_version(void) {
  static const hid_api_version version = {HID_API_VERSION_MAJOR, HID_API_VERSION_MINOR, HID_API_VERSION_PATCH};
  return &version;
}

HID_API_EXPORT const char* HID_API_CALL hid_version_str(void) { return HID_API_VERSION_STR; }

}  // extern "C"
