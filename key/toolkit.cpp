#include "key/toolkit.h"

#include "key/platform.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <easylogging++.h>

#include <filesystem>
#include <iomanip>
#include <system_error>

// The logger's process-wide storage, with the logger "default", exists before main runs.
INITIALIZE_EASYLOGGINGPP

namespace {

// easylogging++ closes a full log file, calls this, then opens the name again: keep one
// generation, and have the new file owner-only before the library creates it.
void keep_previous_log(const char* file_name, std::size_t) {
  // The name is UTF-8 (the program's code page on Windows too); the library's own narrow-path
  // conversion would not read a profile folder named beyond ASCII as such.
  std::error_code ignored;
  std::filesystem::rename(std::filesystem::u8path(file_name), std::filesystem::u8path(std::string(file_name) + ".1"), ignored);
  platform::make_private_file(file_name);
}

}  // namespace

QString text_of(const ByteBuffer& bytes) {
  return QString::fromUtf8(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()));
}

ByteBuffer bytes_of(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return ByteBuffer(utf8.begin(), utf8.end());
}

void setup_log(std::string conf_path) {
  el::Configurations conf(conf_path);

  std::string app_data;
  if (platform::user_app_data_folder(app_data)) {
    const QString log_folder =
        QDir(QDir(QString::fromLocal8Bit(app_data.c_str())).filePath("Orvalin Direzoda")).filePath("Umbrata");
    platform::make_private_folder(log_folder);
    const QString log_file = QDir(log_folder).filePath("Umbrata.log");
    // The log holds serial numbers and codes: the library would create it readable by all.
    platform::make_private_file(QFile::encodeName(log_file).toStdString());
    // Set at the Global level, which also sets every level: setGlobally alone leaves the Global
    // entry from log.conf, and the library would still create that file.
    conf.set(el::Level::Global, el::ConfigurationType::Filename, log_file.toUtf8().toStdString());
  }

  // Size limits are checked before every line, not only at flushes, and a full file rolls over.
  el::Loggers::addFlag(el::LoggingFlag::StrictLogFileSizeCheck);
  el::Helpers::installPreRollOutCallback(keep_previous_log);

  el::Loggers::reconfigureLogger("default", conf);
  el::Loggers::reconfigureAllLoggers(conf);

  LOG(INFO) << "Read log conf file from: " << conf_path;
}

std::ostringstream hex_dump(const ByteBuffer& bytes) {
  return hex_dump(bytes.data(), static_cast<int>(bytes.size()));
}

std::ostringstream hex_dump(const std::uint8_t* data, int count) {
  std::ostringstream out;
  out << std::hex << std::setfill('0');
  for (int i = 0; i < count; ++i) out << std::setw(2) << static_cast<unsigned>(data[i]) << ' ';
  return out;
}
