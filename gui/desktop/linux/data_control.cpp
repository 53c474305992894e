#include "gui/desktop/linux/data_control.h"

#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>

namespace data_control {
namespace {

// One connection's view of the seat's selection, built from the compositor's events.
struct Session {
  wl_display* display = nullptr;
  wl_registry* registry = nullptr;
  wl_seat* seat = nullptr;
  zwlr_data_control_manager_v1* manager = nullptr;
  zwlr_data_control_device_v1* device = nullptr;
  // Every offer the compositor made, with the MIME types it offers; the selection is one of them.
  std::map<zwlr_data_control_offer_v1*, std::set<std::string>> offers;
  zwlr_data_control_offer_v1* selection = nullptr;
  bool finished = false;

  ~Session() {
    for (auto& offer : offers) zwlr_data_control_offer_v1_destroy(offer.first);
    if (device) zwlr_data_control_device_v1_destroy(device);
    if (manager) zwlr_data_control_manager_v1_destroy(manager);
    if (seat) wl_seat_destroy(seat);
    if (registry) wl_registry_destroy(registry);
    if (display) wl_display_disconnect(display);
  }
};

void offer_type(void* data, zwlr_data_control_offer_v1* offer, const char* mime_type) {
  static_cast<Session*>(data)->offers[offer].insert(mime_type);
}
const zwlr_data_control_offer_v1_listener offer_listener = {offer_type};

void device_data_offer(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
  auto* session = static_cast<Session*>(data);
  session->offers[offer];
  zwlr_data_control_offer_v1_add_listener(offer, &offer_listener, session);
}

// The offer it names replaces the last: the old one is of no more use.
void device_selection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
  auto* session = static_cast<Session*>(data);
  if (session->selection && session->selection != offer) {
    zwlr_data_control_offer_v1_destroy(session->selection);
    session->offers.erase(session->selection);
  }
  session->selection = offer;
}

void device_finished(void* data, zwlr_data_control_device_v1*) { static_cast<Session*>(data)->finished = true; }
const zwlr_data_control_device_v1_listener device_listener = {device_data_offer, device_selection, device_finished};

void registry_global(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
  auto* session = static_cast<Session*>(data);
  // The first seat: the desktop's one seat, as Qt's clipboard takes it too.
  if (!session->seat && std::strcmp(interface, wl_seat_interface.name) == 0)
    session->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  else if (!session->manager && std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0)
    session->manager = static_cast<zwlr_data_control_manager_v1*>(
        wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
}
void registry_global_remove(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener registry_listener = {registry_global, registry_global_remove};

using Clock = std::chrono::steady_clock;

// How long the compositor may take to answer one round trip: the window waits no longer.
constexpr std::chrono::milliseconds answer_time{1000};

enum class Answer { given, none, broken };

void sync_done(void* data, wl_callback*, std::uint32_t) { *static_cast<bool*>(data) = true; }
const wl_callback_listener sync_listener = {sync_done};

// Reads and dispatches the compositor's events until done is set, the deadline passes (none) or
// the connection fails (broken).
Answer dispatch_until(wl_display* display, const bool& done, Clock::time_point deadline) {
  const int fd = wl_display_get_fd(display);
  for (;;) {
    while (wl_display_prepare_read(display) != 0)
      if (wl_display_dispatch_pending(display) < 0) return Answer::broken;
    if (done) {
      wl_display_cancel_read(display);
      return Answer::given;
    }
    // A full socket takes the rest of the requests once the compositor has read some.
    const int flushed = wl_display_flush(display);
    if (flushed < 0 && errno != EAGAIN) {
      wl_display_cancel_read(display);
      return Answer::broken;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      wl_display_cancel_read(display);
      return Answer::none;
    }
    pollfd ready = {fd, static_cast<short>(flushed < 0 ? POLLIN | POLLOUT : POLLIN), 0};
    const int count = poll(&ready, 1, static_cast<int>(left.count()));
    if (count < 0 && errno != EINTR) {
      wl_display_cancel_read(display);
      return Answer::broken;
    }
    // A hung-up connection fails in the read.
    if (count > 0 && (ready.revents & (POLLIN | POLLERR | POLLHUP)) != 0) {
      if (wl_display_read_events(display) < 0) return Answer::broken;
    } else {
      wl_display_cancel_read(display);
    }
  }
}

// wl_display_roundtrip within answer_time: a compositor that hangs must not hang the window,
// whose thread this runs on.
Answer round_trip(wl_display* display) {
  const Clock::time_point deadline = Clock::now() + answer_time;
  wl_callback* callback = wl_display_sync(display);
  if (!callback) return Answer::broken;
  bool done = false;
  wl_callback_add_listener(callback, &sync_listener, &done);
  const Answer answer = dispatch_until(display, done, deadline);
  wl_callback_destroy(callback);
  return answer;
}

// A compositor that does not answer keeps the selection as it is: the clear is refused and tried
// again later. A failed connection leaves the clear to Qt's clipboard.
desktop::ClipboardWipe unanswered(Answer answer) {
  return answer == Answer::none ? desktop::ClipboardWipe::refused : desktop::ClipboardWipe::unavailable;
}

bool offers(const Session& session, const std::string& mark) {
  const auto offer = session.offers.find(session.selection);
  return offer != session.offers.end() && offer->second.count(mark) > 0;
}

}  // namespace

desktop::ClipboardWipe clear_marked_selection(const std::string& mark) {
  using desktop::ClipboardWipe;
  if (!std::getenv("WAYLAND_DISPLAY")) return ClipboardWipe::unavailable;
  Session session;
  session.display = wl_display_connect(nullptr);
  if (!session.display) return ClipboardWipe::unavailable;
  session.registry = wl_display_get_registry(session.display);
  wl_registry_add_listener(session.registry, &registry_listener, &session);
  Answer answer = round_trip(session.display);
  if (answer != Answer::given) return unanswered(answer);
  if (!session.seat || !session.manager) return ClipboardWipe::unavailable;
  session.device = zwlr_data_control_manager_v1_get_data_device(session.manager, session.seat);
  zwlr_data_control_device_v1_add_listener(session.device, &device_listener, &session);
  // The device's first events name the current selection.
  answer = round_trip(session.display);
  if (answer != Answer::given) return unanswered(answer);
  if (session.finished) return ClipboardWipe::unavailable;
  if (!offers(session, mark)) return ClipboardWipe::other;
  zwlr_data_control_device_v1_set_selection(session.device, nullptr);
  answer = round_trip(session.display);
  if (answer != Answer::given) return unanswered(answer);
  if (session.finished) return ClipboardWipe::unavailable;
  return offers(session, mark) ? ClipboardWipe::refused : ClipboardWipe::cleared;
}

}  // namespace data_control
