#include "gui/token_info.h"

#include "gui/model_support.h"

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
        const QString shown = "Serial Number: " + text_of(serial) + "\nAlgorithm: " + algorithm_name(user->algorithm) +
                              "\nHash: " + hash_name(user->type) + "\n";
        return [this, shown] { set_text(shown); };
      },
      "token_info");
}

void TokenInfo::set_text(const QString& value) {
  if (value == text) return;
  text = value;
  emit text_changed();
}
