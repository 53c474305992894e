// umbrata-cli: the key's codes, token information and settings from a shell.
#include "key/clock_sync.h"
#include "key/hid.h"
#include "key/key_exception.h"
#include "key/platform.h"
#include "key/toolkit.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <easylogging++.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int exit_key_failed = 1;
constexpr int exit_usage = 2;
constexpr int exit_no_key = 3;

constexpr auto press_poll = std::chrono::milliseconds(600);
constexpr auto press_wait = std::chrono::seconds(15);

// A wrong command line: exit status 2.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Nothing to talk to, or nothing we may open: exit status 3.
struct NoUsableKey : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Options {
  QString command;
  QStringList arguments;
  QString key;  // --key: a number from list, a USB serial number or a path
  std::optional<QString> serial;
  bool json = false;
};

void print(const QString& text) { std::cout << text.toStdString() << '\n'; }

void print_json(const QJsonDocument& document) { print(QString::fromUtf8(document.toJson(QJsonDocument::Compact))); }

std::int64_t calendar_seconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

std::string no_access_message(const KeyInterface& key_interface) {
  const std::string plugged = "a key is plugged in (" + key_interface.path + ") but you may not open it: ";
  if (key_interface.access == KeyAccess::administrators_only)
    return plugged + "Windows lets only administrators open the key's FIDO interface; "
                     "run umbrata-cli in a terminal opened as administrator";
  if (platform::key_access_rule_installed())
    return plugged + "its udev rule 70-umbrata.rules is in place; unplug the key and plug it in again";
  return plugged + "install the udev rule packaging/70-umbrata.rules and replug the key "
                   "(README, \"Let your user open the key\")";
}

QString usb_serial_of(const KeyInterface& key_interface) { return QString::fromStdWString(key_interface.usb_serial); }

// How list and the refusal to guess name a key: its number, its USB serial number and its path.
QString key_line(int number, const KeyInterface& key_interface) {
  const QString serial = usb_serial_of(key_interface);
  return QString("%1  %2  %3").arg(number).arg(serial.isEmpty() ? "-" : serial, QString::fromStdString(key_interface.path));
}

// The interface that --key names: a number from list (counted from 1, in the order the keys are
// seen), a USB serial number or a path. Null when none is.
const FoundKey* named_key(const std::vector<FoundKey>& found, const QString& wanted) {
  bool is_number = false;
  const int number = wanted.toInt(&is_number);
  if (is_number && number >= 1 && static_cast<std::size_t>(number) <= found.size()) return &found[number - 1];
  for (const FoundKey& each : found)
    if ((!each.found.usb_serial.empty() && usb_serial_of(each.found) == wanted) ||
        QString::fromStdString(each.found.path) == wanted)
      return &each;
  return nullptr;
}

// Logs which key a command uses, by its number and USB serial number, and returns it.
std::shared_ptr<UsbKey> using_key(const std::vector<FoundKey>& found, const FoundKey& chosen) {
  LOG(INFO) << "Using key " << key_line(static_cast<int>(&chosen - found.data()) + 1, chosen.found).toStdString();
  return chosen.key;
}

// The key named by --key, else the only one that opens. With several that open and no --key, it
// refuses to guess: a script must never get one key's code while it meant the other's.
std::shared_ptr<UsbKey> open_key(const QString& wanted) {
  const std::vector<FoundKey> found = HID().find_device(orvalin_vendor_id);
  if (found.empty()) throw NoUsableKey("no key found");
  if (!wanted.isEmpty()) {
    const FoundKey* const named = named_key(found, wanted);
    if (named == nullptr) throw NoUsableKey("no key " + wanted.toStdString() + " (see list)");
    if (named->key == nullptr) throw NoUsableKey(no_access_message(named->found));
    return using_key(found, *named);
  }
  std::vector<const FoundKey*> usable;
  for (const FoundKey& each : found)
    if (each.key != nullptr) usable.push_back(&each);
  if (usable.empty()) throw NoUsableKey(no_access_message(found.front().found));
  if (usable.size() == 1) return using_key(found, *usable.front());
  std::string keys;
  for (std::size_t i = 0; i < found.size(); ++i)
    if (found[i].key != nullptr) keys += "\n  " + key_line(static_cast<int>(i) + 1, found[i].found).toStdString();
  throw UsageError("several keys are plugged in: name one with --key (a number, USB serial number or path):" + keys);
}

// In press mode the key answers "No such object" until it is touched, and a touch counts for a
// few seconds: ask once, then run the whole exchange again until it passes or time runs out.
void retry_until_touched(const std::function<void()>& exchange) {
  const auto deadline = std::chrono::steady_clock::now() + press_wait;
  bool asked = false;
  for (;;) {
    try {
      exchange();
      return;
    } catch (const KeyNoObjectException&) {
      if (std::chrono::steady_clock::now() >= deadline) throw;
      if (!asked) std::cerr << "Touch the key..." << std::endl;
      asked = true;
      std::this_thread::sleep_for(press_poll);
    }
  }
}

// The active credential's serial number, and, when asked for, its algorithm (0 when the key's
// answer does not say).
ByteBuffer active_serial(UsbKey& key, std::uint32_t* algorithm = nullptr) {
  ByteBuffer serial;
  key.op_get_active(serial, algorithm);
  if (serial.empty()) throw KeyException("the key has no active credential");
  return serial;
}

int command_code(const Options& options) {
  const std::shared_ptr<UsbKey> key = open_key(options.key);
  ByteBuffer serial;
  std::uint32_t code = 0;
  int digits = 0;
  std::int64_t now = 0;
  bool counted = false;
  retry_until_touched([&] {
    std::uint32_t algorithm = 0;
    serial = options.serial ? bytes_of(*options.serial) : active_serial(*key, &algorithm);
    // An HOTP code is still valid until it is used: neither it nor the key's answer is logged.
    if (algorithm == 0) algorithm = algorithm_of(*key, serial);
    counted = algorithm == hotp_algorithm;
    now = calendar_seconds();
    code = counted ? counter_code(*key, serial, digits) : credential_code(*key, serial, digits);
  });
  if (counted) std::cerr << "This is an HOTP code: the key's counter moved on by one." << std::endl;
  // A TOTP code is the clock's: said, never a failure, as many machines report no synchronisation.
  else if (clock_sync_state() == platform::ClockSync::unsynchronised)
    std::cerr << unsynchronised_clock_text << std::endl;
  const QString text = QString("%1").arg(code, digits, 10, QChar('0'));
  if (!options.json) {
    print(text);
    return 0;
  }
  print_json(QJsonDocument(QJsonObject{{"serial", text_of(serial)},
                                       {"code", text},
                                       {"digits", digits},
                                       {"seconds_left", static_cast<int>(totp_step_seconds - now % totp_step_seconds)}}));
  return 0;
}

int command_info(const Options& options) {
  const std::shared_ptr<UsbKey> key = open_key(options.key);
  ByteBuffer serial;
  std::vector<User> users;
  retry_until_touched([&] {
    serial = active_serial(*key);
    users.clear();
    key->op_get_user_info(users);
  });
  const auto active =
      std::find_if(users.begin(), users.end(), [&](const User& user) { return user.serial_number == serial; });
  if (active == users.end())
    throw KeyException("the active credential " + text_of(serial).toStdString() + " is not in the key's list");

  if (options.json) {
    QJsonArray credentials;
    for (const User& user : users) {
      credentials.append(QJsonObject{{"serial", text_of(user.serial_number)},
                                     {"algorithm", algorithm_name(user.algorithm)},
                                     {"hash", hash_name(user.type)}});
    }
    print_json(QJsonDocument(QJsonObject{{"serial", text_of(serial)},
                                         {"algorithm", algorithm_name(active->algorithm)},
                                         {"hash", hash_name(active->type)},
                                         {"credentials", credentials}}));
    return 0;
  }
  print("Serial Number: " + text_of(serial));
  print(QString("Algorithm: ") + algorithm_name(active->algorithm));
  print(QString("Hash: ") + hash_name(active->type));
  print("Credentials:");
  for (const User& user : users)
    print(QString("  %1  %2  %3").arg(text_of(user.serial_number), algorithm_name(user.algorithm), hash_name(user.type)));
  return 0;
}

// What list says of a key's active credential without waiting for a touch: its serial number,
// or why there is none to tell.
QJsonValue active_credential(UsbKey& key, bool* touch_needed) {
  *touch_needed = false;
  try {
    ByteBuffer serial;
    key.op_get_active(serial, nullptr);
    return serial.empty() ? QJsonValue() : QJsonValue(text_of(serial));
  } catch (const KeyNoObjectException&) {
    *touch_needed = true;  // press mode: the key answers only once touched
  } catch (const std::exception& e) {
    LOG(WARNING) << "The key did not say its active credential: " << e.what();
  }
  return QJsonValue();
}

// Every interface seen, openable or not, numbered as --key takes them: telling which is what list
// is for.
int command_list(const Options& options) {
  const std::vector<FoundKey> found = HID().find_device(orvalin_vendor_id);
  if (found.empty()) throw NoUsableKey("no key found");
  const FoundKey* const named = options.key.isEmpty() ? nullptr : named_key(found, options.key);
  if (!options.key.isEmpty() && named == nullptr) throw NoUsableKey("no key " + options.key.toStdString());
  QJsonArray rows;
  for (std::size_t i = 0; i < found.size(); ++i) {
    const auto& [key_interface, key] = found[i];
    if (named != nullptr && named != &found[i]) continue;
    bool touch_needed = false;
    const QJsonValue active = key != nullptr ? active_credential(*key, &touch_needed) : QJsonValue();
    rows.append(QJsonObject{{"number", static_cast<int>(i) + 1},
                            {"usb_serial", usb_serial_of(key_interface)},
                            {"product_id", QString("%1").arg(key_interface.product_id, 4, 16, QChar('0'))},
                            {"path", QString::fromStdString(key_interface.path)},
                            {"access", key != nullptr},
                            {"administrators_only", key_interface.access == KeyAccess::administrators_only},
                            {"active", active},
                            {"touch_needed", touch_needed}});
  }
  if (options.json) {
    print_json(QJsonDocument(rows));
    return 0;
  }
  for (const QJsonValue& row : rows) {
    const QString active = row["touch_needed"].toBool() ? "touch the key to see its active credential"
                           : row["active"].isString()   ? row["active"].toString()
                                                        : "-";
    const QString serial = row["usb_serial"].toString();
    const QString access = row["access"].toBool()                ? "ok"
                           : row["administrators_only"].toBool() ? "administrators only"
                                                                 : "no access";
    print(QString("%1  %2  %3  %4  %5  %6")
              .arg(row["number"].toInt())
              .arg(serial.isEmpty() ? "-" : serial, row["product_id"].toString(), row["path"].toString(), access, active));
  }
  return 0;
}

int command_set_active(const Options& options) {
  make_active(*open_key(options.key), bytes_of(options.arguments.at(0)));
  return 0;
}

int command_press_mode(const Options& options) {
  const QString mode = options.arguments.at(0);
  if (mode != "on" && mode != "off") throw UsageError("press-mode takes on or off, not '" + mode.toStdString() + "'");
  open_key(options.key)->switch_press_mode(mode == "on");
  return 0;
}

struct Command {
  const char* name;
  int argument_count;
  int (*run)(const Options&);
};

const Command commands[] = {
    {"code", 0, command_code},
    {"info", 0, command_info},
    {"list", 0, command_list},
    {"set-active", 1, command_set_active},
    {"press-mode", 1, command_press_mode},
};

int run(const Options& options) {
  for (const Command& command : commands) {
    if (options.command != command.name) continue;
    if (options.arguments.size() != command.argument_count)
      throw UsageError(options.command.toStdString() + " takes " + std::to_string(command.argument_count) +
                       " argument(s), got " + std::to_string(options.arguments.size()));
    if (options.serial && options.command != "code") throw UsageError("--serial goes with code only");
    LOG(INFO) << "-> umbrata-cli " << options.command.toStdString();
    return command.run(options);
  }
  throw UsageError(options.command.isEmpty() ? "no command given; see --help"
                                             : "unknown command '" + options.command.toStdString() + "'; see --help");
}

Options parse_options(const QCoreApplication& app) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "The USB one-time-password key from a shell.\n\n"
      "Commands:\n"
      "  code               the code of the active credential (or of --serial's)\n"
      "  info               the active credential's token information, then every credential\n"
      "  list               every key seen: its number, USB serial number, product, path,\n"
      "                     whether you may open it, and its active credential\n"
      "  set-active SERIAL  make credential SERIAL the active one\n"
      "  press-mode on|off  make the key want a touch before it answers, or not\n\n"
      "Without --key, a command uses the only key you may open; with several, it names them and\n"
      "exits 2.\n\n"
      "Exit status: 0 success, 1 the key failed or refused, 2 usage error (or several keys and no\n"
      "--key), 3 no usable key.");
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption version = parser.addVersionOption();
  const QCommandLineOption key_option("key", "Use key <KEY>: its number, USB serial number or path (see list).", "KEY");
  const QCommandLineOption serial_option("serial", "code: the code of credential <SERIAL>.", "SERIAL");
  const QCommandLineOption json_option("json", "code, info, list: print JSON.");
  parser.addOptions({key_option, serial_option, json_option});
  parser.addPositionalArgument("command", "code, info, list, set-active or press-mode.", "<command> [argument]");

  if (!parser.parse(app.arguments())) throw UsageError(parser.errorText().toStdString());
  if (parser.isSet(help)) parser.showHelp(0);
  if (parser.isSet(version)) parser.showVersion();

  Options options;
  options.arguments = parser.positionalArguments();
  if (!options.arguments.isEmpty()) options.command = options.arguments.takeFirst();
  options.key = parser.value(key_option);
  if (parser.isSet(serial_option)) options.serial = parser.value(serial_option);
  options.json = parser.isSet(json_option);
  return options;
}

void start_log() {
  // Without a log.conf the library's defaults echo records to stdout, which carries the code alone.
  std::streambuf* const out = std::cout.rdbuf(nullptr);
  setup_log(QDir(QCoreApplication::applicationDirPath()).filePath("log.conf").toStdString());
  std::cout.rdbuf(out);
  std::cout.clear();
  el::Loggers::reconfigureLogger("default", el::ConfigurationType::ToStandardOutput, "false");
}

int report(const std::exception& e, int status) {
  LOG(ERROR) << "umbrata-cli: " << e.what();
  std::cerr << "umbrata-cli: " << e.what() << '\n';
  return status;
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("umbrata-cli");
  QCoreApplication::setApplicationVersion(UMBRATA_VERSION);
  start_log();

  try {
    return run(parse_options(app));
  } catch (const UsageError& e) {
    return report(e, exit_usage);
  } catch (const NoUsableKey& e) {
    return report(e, exit_no_key);
  } catch (const std::exception& e) {  // the key layer's KeyException and its kinds, mostly
    return report(e, exit_key_failed);
  }
}
