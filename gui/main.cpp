#include "gui/main_frame.h"
#include "key/toolkit.h"

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QUrl>

#include <easylogging++.h>

#include <string>

int main(int argc, char* argv[]) {
  QGuiApplication app(argc, argv);
  const std::string log_conf_path = QDir(QCoreApplication::applicationDirPath()).filePath("log.conf").toStdString();
  setup_log(log_conf_path);
  LOG(INFO) << "-> Program Running!";

  QQmlApplicationEngine engine;
  // Both names exist from the view's first evaluation on, null until they are published.
  engine.rootContext()->setContextProperty("main_frame", static_cast<QObject*>(nullptr));
  engine.rootContext()->setContextProperty("otp_status", static_cast<QObject*>(nullptr));
  engine.load(QUrl(QStringLiteral("qrc:/main.qml")));
  if (QGuiApplication::allWindows().isEmpty()) {
    LOG(ERROR) << "The main view failed to load: no window to show";
    return 1;
  }

  MainFrame frame(engine.rootContext(), &app);
  engine.rootContext()->setContextProperty("main_frame", &frame);
  frame.rescan_key();

  QFont font(QStringLiteral("Verdana"));
  font.setStyleHint(QFont::Monospace, QFont::PreferDefault);
  QGuiApplication::setFont(font);

  return QGuiApplication::exec();
}
