// Device arrival and removal on Windows: WM_DEVICECHANGE for the HID interface class, sent to
// the main window and seen through the application's native event filter.
#include "gui/desktop/device_event.h"

#include <QWindow>

#include <easylogging++.h>

#include <windows.h>
#include <dbt.h>
extern "C" {
#include <hidsdi.h>
}

void DeviceEvent::register_event(QWindow* window) {
  GUID hid_class;
  HidD_GetHidGuid(&hid_class);
  DEV_BROADCAST_DEVICEINTERFACE_A filter = {};
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_reserved = 0;
  filter.dbcc_classguid = hid_class;
  // The notification handle is not kept: the registration ends with the window.
  const HDEVNOTIFY registered =
      window ? RegisterDeviceNotificationA(reinterpret_cast<HANDLE>(window->winId()), &filter,
                                           DEVICE_NOTIFY_WINDOW_HANDLE)
             : nullptr;
  if (!registered) LOG(ERROR) << "register device notification error";
}

bool DeviceEvent::nativeEventFilter(const QByteArray&, void* message, long*) {
  const MSG* msg = static_cast<const MSG*>(message);
  if (!msg || msg->message != WM_DEVICECHANGE) return false;
  const DeviceChange kind = msg->wParam == DBT_DEVICEARRIVAL          ? DeviceChange::arrival
                            : msg->wParam == DBT_DEVICEREMOVECOMPLETE ? DeviceChange::removal
                                                                       : DeviceChange::other;
  if (kind == DeviceChange::other || !msg->lParam) return false;
  // Volume and port broadcasts carry no interface path: only the header may be read first.
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(msg->lParam);
  QString path;
  if (!device_interface_path(reinterpret_cast<const std::uint8_t*>(header), header->dbch_size, path)) return false;
  return device_changed(kind, path);
}
