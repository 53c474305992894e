#include "gui/desktop/device_event.h"

#include "key/hid.h"

#include <easylogging++.h>

namespace {

constexpr std::uint32_t devtyp_deviceinterface = 5;
constexpr std::size_t path_offset = 28;  // after size, device type, reserved and class GUID

std::uint32_t little_endian_32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}

}  // namespace

bool device_interface_path(const std::uint8_t* broadcast, std::size_t size, QString& path) {
  if (!broadcast || size < path_offset) return false;
  if (little_endian_32(broadcast + 4) != devtyp_deviceinterface) return false;
  const std::size_t declared = little_endian_32(broadcast);
  const std::size_t end = std::min(size, declared);
  if (end < path_offset) return false;
  QString text;
  for (std::size_t at = path_offset; at + 1 < end; at += 2) {
    const char16_t c = static_cast<char16_t>(broadcast[at] | (broadcast[at + 1] << 8));
    if (c == 0) break;
    text.append(QChar(c));
  }
  path = text;
  return true;
}

DeviceEvent::DeviceEvent(QObject* parent) : QObject(parent) {}

DeviceEvent::~DeviceEvent() = default;

bool DeviceEvent::device_changed(DeviceChange kind, const QString& path) {
  if (kind == DeviceChange::other) return false;
  static const QString vendor = QStringLiteral("VID_%1").arg(orvalin_vendor_id, 4, 16, QLatin1Char('0')).toUpper();
  if (!path.contains(vendor, Qt::CaseSensitive)) return false;
  LOG(INFO) << (kind == DeviceChange::arrival ? "hid arrival detected" : "hid removal detected");
  emit hid_changed();
  return false;
}
