#include "gui/app/localization.h"
#include "gui/app/main_frame.h"
#include "gui/app/screen_scale.h"
#include "gui/app/settings.h"
#include "gui/desktop/administrator_restart.h"
#include "gui/desktop/desktop.h"
#include "gui/desktop/resume_event.h"
#include "gui/desktop/single_instance.h"
#include "gui/desktop/tray_host.h"
#include "gui/models/clock_check.h"
#include "key/platform.h"
#include "key/toolkit.h"

#include <QAccessible>
#include <QCommandLineParser>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QUrl>

#include <easylogging++.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

QCommandLineOption hidden_option() {
  return QCommandLineOption(QStringLiteral("hidden"),
                            QStringLiteral("Start without showing the window: the tray icon or a second start shows it."));
}

QCommandLineOption language_option() {
  return QCommandLineOption(QStringLiteral("language"),
                            QStringLiteral("Show the window in this language (de, en, es or fr) instead of the desktop's."),
                            QStringLiteral("code"));
}

QCommandLineOption quit_option() {
  return QCommandLineOption(QStringLiteral("quit"),
                            QStringLiteral("Ask the Umbrata that runs in this session to quit, and wait until it has ended."));
}

std::string log_conf_path() { return QDir(QCoreApplication::applicationDirPath()).filePath("log.conf").toStdString(); }

// Run as administrator, the program would otherwise load Qt's plugins, QML modules, styles and
// compiled QML from wherever the user's environment says, and the QML cache lies in the user's
// own folder: code that a standard user can write would run elevated. True when it did so.
bool load_only_what_lies_beside() {
  if (!platform::running_elevated()) return false;
  for (const char* name : {"QT_PLUGIN_PATH", "QML2_IMPORT_PATH", "QML_IMPORT_PATH", "QT_QPA_PLATFORM_PLUGIN_PATH",
                           "QT_QUICK_CONTROLS_STYLE_PATH", "QT_QUICK_CONTROLS_CONF", "QML_DISK_CACHE_PATH"})
    qunsetenv(name);
  qputenv("QML_DISABLE_DISK_CACHE", "1");
  return true;
}

// Asks the running instance to quit and exits: 0 when none runs or it ended in time, 1 otherwise.
// It never shows a window, nor starts the program.
[[noreturn]] void quit_running_instance() {
  setup_log(log_conf_path());
  if (SingleInstance::ask_to_quit(desktop::instance_name(), desktop::instance_lock_file())) std::exit(0);
  if (desktop::attach_parent_console())
    std::fprintf(stderr, "Umbrata runs on: it did not end within %d s\n", SingleInstance::wait_ms / 1000);
  std::exit(1);
}

// --help, --version and --quit answer on stdout and exit, with no display needed; every other
// argument is left to the window (and to Qt, such as -platform). Where the standard output
// reaches nobody (a Windows program started without a console), Qt shows the text in a message
// box instead.
void answer_without_window(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Shows the one-time password of the USB OTP key that is plugged in, and copies it.\n"
      "The key from a shell: umbrata-cli.");
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption version = parser.addVersionOption();
  parser.addOptions({hidden_option(), language_option(), quit_option()});
  parser.parse(QCoreApplication::arguments());
  // --help-all would list Qt's options for a window, which this parser, made before the window's
  // application, does not know: it gets the same help.
  const bool help_asked = parser.isSet(help) || parser.optionNames().contains("help-all");
  if (!help_asked && !parser.isSet(version)) {
    if (parser.isSet(quit_option())) quit_running_instance();
    return;
  }
  // Only now: a window that stays tied to a console would end with it.
  if (!desktop::attach_parent_console()) help_asked ? parser.showHelp(0) : parser.showVersion();
  const QString text = help_asked ? parser.helpText()
                                  : QCoreApplication::applicationName() + ' ' + QCoreApplication::applicationVersion() + '\n';
  std::fputs(qPrintable(text), stdout);
  std::fflush(stdout);
  std::exit(0);
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication::setApplicationVersion(UMBRATA_VERSION);
  const bool elevated_loads_beside = load_only_what_lies_beside();
  follow_screen_scale();
  if (argc > 1) answer_without_window(argc, argv);
  // Text, an image and a shadow, changing once a second: OpenGL without a GPU driver means
  // llvmpipe (49 MiB of code, 45 ms of set-up, a thread pool).
  if (!qEnvironmentVariableIsSet("QT_QUICK_BACKEND") && !qEnvironmentVariableIsSet("QSG_RHI"))
    QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);
  // Qt 5's OpenGL scene graph has no name: asked for "opengl", it warns of a missing plugin, then uses it.
  else if (qgetenv("QT_QUICK_BACKEND") == "opengl")
    qunsetenv("QT_QUICK_BACKEND");
  // A shown code changes a few hundred pixels a second. Draw them in the wake-up that changed them
  // rather than in a second one 5 ms later, and send them over the X connection rather than
  // through shared memory, which costs a round trip to the X server before each frame.
  if (!qEnvironmentVariableIsSet("QT_QPA_UPDATE_IDLE_TIME")) qputenv("QT_QPA_UPDATE_IDLE_TIME", "0");
  if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
  QGuiApplication app(argc, argv);
  // The desktop entry, named by the component ID: a Wayland desktop matches the window to it.
  QGuiApplication::setDesktopFileName(QStringLiteral("com.example.orvalin.umbrata"));
  // Where Verdana is missing, a sans-serif like it: the software scene graph would otherwise
  // follow the application font's monospace hint, and the two renderers would differ.
  QFont::insertSubstitutions(QStringLiteral("Verdana"), {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
  setup_log(log_conf_path());
  LOG(INFO) << "-> Program Running!";
  if (elevated_loads_beside)
    LOG(INFO) << "Run as administrator: Qt's plugins, QML modules and styles come only from beside the program, and no "
                 "compiled QML from the user's cache";
  // One program a session: a second start shows the first one's window.
  SingleInstance instance(desktop::instance_name(), desktop::instance_lock_file());
  if (!instance.claim()) return 0;
  // Also when the program keeps running in the tray.
  QObject::connect(&instance, &SingleInstance::quit_requested, &app, &QCoreApplication::quit);

  QCommandLineParser parser;
  parser.addOptions({hidden_option(), language_option()});
  parser.parse(QCoreApplication::arguments());
  LOG(INFO) << "Language: " << install_translation(parser.value(language_option())).toStdString();

  QQmlApplicationEngine engine;
  // Every name exists from the view's first evaluation on, null until it is published.
  QQmlContext* context = engine.rootContext();
  for (const char* name : {"main_frame", "settings", "clock_check", "otp_status", "credentials", "token_info"})
    context->setContextProperty(name, static_cast<QObject*>(nullptr));
  context->setContextProperty("start_hidden", parser.isSet(hidden_option()));
  TrayHost tray_host;
  QObject::connect(&tray_host, &TrayHost::available_changed, [&tray_host] {
    // The window makes its icon at once.
    if (tray_host.available()) LOG(INFO) << "The tray icon is shown";
  });
  context->setContextProperty("tray_host", &tray_host);
  AdministratorRestart administrator_restart(&instance);
  context->setContextProperty("administrator_restart", &administrator_restart);
  engine.load(QUrl(QStringLiteral("qrc:/main.qml")));
  if (QGuiApplication::allWindows().isEmpty()) {
    LOG(ERROR) << "The main view failed to load: no window to show";
    return 1;
  }

  // After the window's first evaluation: whether a logon task starts the program is asked once
  // the window has shown its first frame.
  Settings settings;
  context->setContextProperty("settings", &settings);
  MainFrame frame(context, &app);
  frame.set_clearing_copied_codes(settings.get_clear_copied_codes());
  QObject::connect(&settings, &Settings::clear_copied_codes_changed, &frame,
                   [&] { frame.set_clearing_copied_codes(settings.get_clear_copied_codes()); });
  frame.set_chosen_key(settings.get_chosen_key());
  QObject::connect(&frame, &MainFrame::chosen_key_changed, &settings, [&] { settings.set_chosen_key(frame.get_chosen_key()); });
  context->setContextProperty("main_frame", &frame);
  ClockCheck clock_check;
  context->setContextProperty("clock_check", &clock_check);
  ResumeEvent resume_event;
  app.installNativeEventFilter(&resume_event);
  QObject::connect(&resume_event, &ResumeEvent::resumed, &clock_check, &ClockCheck::check);
  QObject::connect(&instance, &SingleInstance::show_requested, &frame, &MainFrame::show_window_requested);
  frame.rescan_key();

  QFont font(QStringLiteral("Verdana"));
  font.setStyleHint(QFont::Monospace, QFont::PreferDefault);
  QGuiApplication::setFont(font);

  const int status = QGuiApplication::exec();
  // The engine takes the window's items down one by one, and each that stops being shown would be
  // announced: Qt's accessibility asks it for its role while it is half destroyed, a crash whenever
  // a screen reader listens. Nothing is announced any more.
  QAccessible::installUpdateHandler([](QAccessibleEvent*) {});
  return status;
}
