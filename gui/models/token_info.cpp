#include "gui/models/token_info.h"

#include "gui/models/outcome.h"

#include <easylogging++.h>

#include <algorithm>
#include <optional>
#include <vector>

TokenInfo::TokenInfo(std::shared_ptr<KeySession> session, QObject* parent) : QObject(parent), session(std::move(session)) {}

void TokenInfo::refresh() {
  if (!session) return;
  session->post(
      this,
      [this](UsbKey& key) -> std::function<void()> {
        ByteBuffer serial;
        std::vector<User> users;
        if (attempt([&] {
              key.op_get_active(serial);
              key.op_get_user_info(users);
            }).kind != Outcome::done) {
          LOG(ERROR) << "Query token info error";
          return {};
        }
        const auto user =
            std::find_if(users.begin(), users.end(), [&](const User& u) { return u.serial_number == serial; });
        if (user == users.end()) {
          LOG(ERROR) << "Failed to find the user";
          return {};
        }
        if (user->algorithm == 1) LOG(ERROR) << "HOTP is not supported.";
        const QVariantMap shown{
            {"serial", text_of(serial)}, {"algorithm", algorithm_name(user->algorithm)}, {"hash", hash_name(user->type)}};
        return [this, shown] { set_info(shown); };
      },
      "token_info");
}

void TokenInfo::set_info(const QVariantMap& value) {
  if (value == info) return;
  info = value;
  emit info_changed();
}
