// umbrata-cli: the key's codes, token information and settings from a shell.
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
  QString key_path;
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

// The key named by --key, else the first one that opens, as the window takes it. Opens no other.
std::shared_ptr<UsbKey> open_key(const QString& wanted_path) {
  const std::vector<KeyInterface> interfaces = HID().list_interfaces(orvalin_vendor_id);
  if (interfaces.empty()) throw NoUsableKey("no key found");
  const std::string wanted = wanted_path.toStdString();
  for (const KeyInterface& key_interface : interfaces) {
    if (!wanted.empty() && key_interface.path != wanted) continue;
    if (key_interface.access != KeyAccess::administrators_only)
      if (std::shared_ptr<UsbKey> key = HID().open(key_interface.path)) return key;
    if (!wanted.empty()) throw NoUsableKey(no_access_message(key_interface));
  }
  if (!wanted.empty()) throw NoUsableKey("no key at " + wanted);
  throw NoUsableKey(no_access_message(interfaces.front()));
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
  const std::shared_ptr<UsbKey> key = open_key(options.key_path);
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
  const std::shared_ptr<UsbKey> key = open_key(options.key_path);
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

// Every interface seen, openable or not: telling which is what list is for.
int command_list(const Options& options) {
  const std::vector<FoundKey> found = HID().find_device(orvalin_vendor_id);
  if (found.empty()) throw NoUsableKey("no key found");
  QJsonArray rows;
  for (const auto& [key_interface, key] : found) {
    const QString path = QString::fromStdString(key_interface.path);
    if (!options.key_path.isEmpty() && path != options.key_path) continue;
    rows.append(QJsonObject{{"path", path},
                            {"product_id", QString("%1").arg(key_interface.product_id, 4, 16, QChar('0'))},
                            {"access", key != nullptr}});
  }
  if (rows.isEmpty()) throw NoUsableKey("no key at " + options.key_path.toStdString());
  if (options.json) {
    print_json(QJsonDocument(rows));
    return 0;
  }
  for (const QJsonValue& row : rows) {
    print(QString("%1  %2  %3")
              .arg(row["path"].toString(), row["product_id"].toString(), row["access"].toBool() ? "ok" : "no access"));
  }
  return 0;
}

int command_set_active(const Options& options) {
  make_active(*open_key(options.key_path), bytes_of(options.arguments.at(0)));
  return 0;
}

int command_press_mode(const Options& options) {
  const QString mode = options.arguments.at(0);
  if (mode != "on" && mode != "off") throw UsageError("press-mode takes on or off, not '" + mode.toStdString() + "'");
  open_key(options.key_path)->switch_press_mode(mode == "on");
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
      "  list               every key interface seen, and whether you may open it\n"
      "  set-active SERIAL  make credential SERIAL the active one\n"
      "  press-mode on|off  make the key want a touch before it answers, or not\n\n"
      "Exit status: 0 success, 1 the key failed or refused, 2 usage error, 3 no usable key.");
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption version = parser.addVersionOption();
  const QCommandLineOption key_option("key", "Use the key at hid path <PATH> (see list).", "PATH");
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
  options.key_path = parser.value(key_option);
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
