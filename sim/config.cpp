#include "sim/config.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSet>
#include <QString>

namespace keysim {

namespace {

struct Invalid {
  std::string message;
};

class KeyReader {
 public:
  KeyReader(const QJsonObject& object, std::string where) : object_(object), where_(std::move(where)) {}

  [[noreturn]] void fail(const std::string& field, const std::string& problem) const {
    throw Invalid{where_ + ": field " + field + ": " + problem};
  }

  bool has(const char* field) const { return object_.contains(field); }

  long integer(const char* field, long min, long max, std::optional<long> fallback = std::nullopt) const {
    const QJsonValue v = object_.value(field);
    if (v.isUndefined()) {
      if (fallback) return *fallback;
      fail(field, "missing");
    }
    const double d = v.toDouble(-1e300);
    if (!v.isDouble() || d != static_cast<double>(static_cast<long>(d)) || d < min || d > max)
      fail(field, "must be a whole number from " + std::to_string(min) + " to " + std::to_string(max));
    return static_cast<long>(d);
  }

  bool boolean(const char* field, bool fallback) const {
    const QJsonValue v = object_.value(field);
    if (v.isUndefined()) return fallback;
    if (!v.isBool()) fail(field, "must be true or false");
    return v.toBool();
  }

  std::string text(const char* field, bool required) const {
    const QJsonValue v = object_.value(field);
    if (v.isUndefined() && !required) return {};
    if (!v.isString() || v.toString().isEmpty()) fail(field, "must be a non-empty string");
    return v.toString().toStdString();
  }

  QJsonValue value(const char* field) const { return object_.value(field); }

 private:
  QJsonObject object_;
  std::string where_;
};

Credential read_credential(const QJsonValue& value, const std::string& where) {
  if (!value.isObject()) throw Invalid{where + ": must be an object"};
  const KeyReader r(value.toObject(), where);
  Credential c;
  c.serial = r.text("serial", true);
  if (c.serial.size() > 32) r.fail("serial", "must be at most 32 characters");
  c.algorithm = static_cast<std::uint8_t>(r.integer("algorithm", 1, 2));
  c.hash = static_cast<Hash>(r.integer("hash", 1, 2));
  c.digits = static_cast<std::uint8_t>(r.integer("digits", 6, 8, 6));
  c.counter = static_cast<std::uint64_t>(r.integer("counter", 0, 1L << 40, 0));
  const auto secret = base32_decode(r.text("secret", true));
  if (!secret || secret->empty()) r.fail("secret", "must be base32 (RFC 4648)");
  c.secret = *secret;
  return c;
}

KeyConfig read_key(const QJsonValue& value, std::size_t index) {
  std::string where = "key #" + std::to_string(index + 1);
  if (!value.isObject()) throw Invalid{where + ": must be an object"};
  KeyConfig key;
  {
    const KeyReader r(value.toObject(), where);
    key.id = r.text("id", true);
  }
  where = "key " + key.id;
  const KeyReader r(value.toObject(), where);
  if (key.id.find_first_of(" \t\n:") != std::string::npos) r.fail("id", "must not hold blanks or ':'");
  key.vendor_id = static_cast<std::uint16_t>(r.integer("vendor_id", 0, 0xFFFF, 0x096E));
  key.product_id = static_cast<std::uint16_t>(r.integer("product_id", 0, 0xFFFF));

  const QJsonValue interfaces = r.value("interfaces");
  if (interfaces.isUndefined() || interfaces.isDouble()) {
    key.interfaces.assign(static_cast<std::size_t>(r.integer("interfaces", 1, 8, 1)), true);
  } else if (interfaces.isArray() && !interfaces.toArray().isEmpty() && interfaces.toArray().size() <= 8) {
    for (const QJsonValue& kind : interfaces.toArray()) {
      if (kind.toString() == "fido") {
        key.interfaces.push_back(true);
      } else if (kind.toString() == "keyboard") {
        key.interfaces.push_back(false);
      } else {
        r.fail("interfaces", "kinds are \"fido\" or \"keyboard\"");
      }
    }
  } else {
    r.fail("interfaces", "must be a number from 1 to 8 or a list of 1 to 8 interface kinds");
  }

  key.plugged = r.boolean("plugged", true);
  key.openable = r.boolean("openable", true);
  key.applet.press_mode_supported = r.boolean("press_mode_supported", false);
  key.applet.press_mode = r.boolean("press_mode", false);
  if (key.applet.press_mode && !key.applet.press_mode_supported)
    r.fail("press_mode", "is on for a key without press_mode_supported");

  const QJsonValue credentials = r.value("credentials");
  if (!credentials.isUndefined() && !credentials.isArray()) r.fail("credentials", "must be a list");
  const QJsonArray list = credentials.toArray();
  if (static_cast<std::size_t>(list.size()) > Applet::max_credentials)
    r.fail("credentials", "a key holds at most " + std::to_string(Applet::max_credentials));
  QSet<QString> serials;
  for (int i = 0; i < list.size(); ++i) {
    Credential c = read_credential(list[i], where + ": credentials[" + std::to_string(i) + "]");
    if (serials.contains(QString::fromStdString(c.serial)))
      r.fail("credentials", "serial " + c.serial + " appears twice");
    serials.insert(QString::fromStdString(c.serial));
    key.applet.credentials.push_back(std::move(c));
  }
  key.applet.active = r.text("active", false);
  if (!key.applet.active.empty() && !serials.contains(QString::fromStdString(key.applet.active)))
    r.fail("active", "names no credential of this key");
  return key;
}

}  // namespace

bool parse_config(const std::string& json, std::vector<KeyConfig>& keys, std::string& error) {
  QJsonParseError parse_error{};
  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json), &parse_error);
  if (doc.isNull()) {
    error = "not JSON: " + parse_error.errorString().toStdString() + " at offset " + std::to_string(parse_error.offset);
    return false;
  }
  if (!doc.isObject() || !doc.object().value("keys").isArray()) {
    error = "the top level must be an object with a list \"keys\"";
    return false;
  }
  try {
    std::vector<KeyConfig> read;
    QSet<QString> ids;
    const QJsonArray list = doc.object().value("keys").toArray();
    for (int i = 0; i < list.size(); ++i) {
      KeyConfig key = read_key(list[i], static_cast<std::size_t>(i));
      if (ids.contains(QString::fromStdString(key.id))) throw Invalid{"key " + key.id + ": field id: appears twice"};
      ids.insert(QString::fromStdString(key.id));
      read.push_back(std::move(key));
    }
    keys = std::move(read);
    return true;
  } catch (const Invalid& invalid) {
    error = invalid.message;
    return false;
  }
}

bool load_config(const std::string& path, std::vector<KeyConfig>& keys, std::string& error) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) {
    error = "cannot read " + path + ": " + file.errorString().toStdString();
    return false;
  }
  return parse_config(file.readAll().toStdString(), keys, error);
}

}  // namespace keysim
