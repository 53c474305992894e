// Qt Quick Test of the views. The stand-ins for the models, "main_frame" and
// "administrator_restart" derive from the real objects, so the views see exactly their
// properties, methods and signals; they only answer without a key and count how they are used.
// "settings" and "tray_host" are the real ones.
#include "gui/app/localization.h"
#include "gui/app/main_frame.h"
#include "gui/app/screen_scale.h"
#include "gui/app/settings.h"
#include "gui/desktop/administrator_restart.h"
#include "gui/desktop/tray_host.h"
#include "gui/models/clock_check.h"
#include "gui/models/credentials.h"
#include "gui/models/otp_status.h"
#include "gui/models/token_info.h"

#include <QGuiApplication>
#include <QObject>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtQuickTest>

class StandInModel : public OtpStatus {
  Q_OBJECT
  Q_PROPERTY(int next_codes MEMBER next_codes)

 public:
  int next_codes = 0;
  StandInModel() : OtpStatus(nullptr) {}
  // What the key's answers do: publish a code, or an error instead.
  Q_INVOKABLE void show_code(int value, int count) { OtpStatus::show_code(value, count, 0); }
  Q_INVOKABLE void show_error(const QString& message) { show_failure(message); }
  Q_INVOKABLE void show_remain(int seconds) { set_remain(seconds); }
  Q_INVOKABLE void show_hotp(const QString& serial) { set_active_credential(bytes_of(serial), 1); }
  Q_INVOKABLE void show_next_step_code(int value) { set_next_step_code(1, value, get_digits()); }
  void next_code() override { ++next_codes; }
  void reset() {
    show_failure("");
    set_remain(0);
    set_active_credential({}, 0);
    next_codes = 0;
  }
};

class StandInCredentials : public Credentials {
  Q_OBJECT
  Q_PROPERTY(QVariantMap watched MEMBER watched)

 public:
  QVariantMap watched;
  StandInCredentials() : Credentials(nullptr) {}
  Q_INVOKABLE void refresh() {}
  Q_INVOKABLE void watch(const QString& watcher, const QStringList& serials, bool with_next_step = false) {
    watched[watcher] = serials;
    watched[watcher + "_next_step"] = with_next_step;
  }
  Q_INVOKABLE void show_rows(const QVariantList& rows) { store_rows(rows); }
  Q_INVOKABLE void show_codes(const QVariantMap& codes) { store_codes(codes); }
  Q_INVOKABLE void show_message(const QVariantMap& message) { set_message(message); }
  void reset() {
    store_rows({});
    store_codes({});
    set_message({});
    watched.clear();
  }
};

class StandInTokenInfo : public TokenInfo {
  Q_OBJECT
  Q_PROPERTY(int refreshes MEMBER refreshes)

 public:
  int refreshes = 0;
  StandInTokenInfo() : TokenInfo(nullptr) {}
  Q_INVOKABLE void refresh() { ++refreshes; }
  Q_INVOKABLE void show_info(const QVariantMap& info) { set_info(info); }
  void reset() {
    set_info({});
    refreshes = 0;
  }
};

class StandInRestart : public AdministratorRestart {
  Q_OBJECT
  Q_PROPERTY(int restarts MEMBER restarts)

 public:
  int restarts = 0;
  StandInRestart() : AdministratorRestart(nullptr) {}
  Q_INVOKABLE void set_available(bool on) { AdministratorRestart::set_available(on); }
  void restart() override { ++restarts; }
};

class StandInFrame : public MainFrame {
  Q_OBJECT
  Q_PROPERTY(QString last_copy MEMBER last_copy)

 public:
  QString last_copy;
  explicit StandInFrame(QQmlContext* context)
      : MainFrame(context, qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {}
  Q_INVOKABLE void rescan_key() {}
  Q_INVOKABLE void copy_to_clipboard(QString text) {
    last_copy = text;
    emit copied();
  }
  Q_INVOKABLE void set_key_without_access(bool on) { MainFrame::set_key_without_access(on); }
  Q_INVOKABLE void set_access_rule_installed(bool on) { MainFrame::set_access_rule_installed(on); }
  Q_INVOKABLE void set_key_needs_administrator(bool on) { MainFrame::set_key_needs_administrator(on); }
  Q_INVOKABLE void set_copied_code_left(bool on) { MainFrame::set_copied_code_left(on); }
  void reset() {
    last_copy.clear();
    for (auto set : {&StandInFrame::set_key_without_access, &StandInFrame::set_access_rule_installed,
                     &StandInFrame::set_key_needs_administrator, &StandInFrame::set_copied_code_left})
      (this->*set)(false);
  }
};

class Harness : public QObject {
  Q_OBJECT
  Q_PROPERTY(QObject* model READ model CONSTANT)
  Q_PROPERTY(QObject* credentials READ credentials CONSTANT)
  Q_PROPERTY(QObject* token_info READ token_info CONSTANT)
  Q_PROPERTY(QObject* frame READ frame CONSTANT)
  Q_PROPERTY(QObject* settings READ settings CONSTANT)
  Q_PROPERTY(QObject* restart READ restart CONSTANT)
  Q_PROPERTY(QString language MEMBER language CONSTANT)

 public:
  // Made before the application, which then scales as the program's does.
  Harness() { follow_screen_scale(); }
  QObject* model() { return model_.get(); }
  QObject* credentials() { return credentials_.get(); }
  QObject* token_info() { return token_info_.get(); }
  QObject* frame() { return frame_.get(); }
  QObject* settings() { return settings_.get(); }
  QObject* restart() { return restart_.get(); }
  // Publishes the stand-in models, or null, as the controller does.
  Q_INVOKABLE void publish_model(bool present) {
    for (auto [name, object] : {std::pair{"otp_status", model()}, std::pair{"credentials", credentials()}, std::pair{"token_info", token_info()}})
      context_->setContextProperty(name, present ? object : nullptr);
  }
  // Saves item's whole window as the screen shows it, in device pixels, to $UMBRATA_SHOTS/name.png.
  Q_INVOKABLE bool save_window(QQuickItem* item, const QString& name) {
    return item && item->window() && item->window()->grabWindow().save(qEnvironmentVariable("UMBRATA_SHOTS") + '/' + name + ".png");
  }
  // What the system says of the clock: "synchronised", "unsynchronised" or "unknown".
  Q_INVOKABLE void set_clock_sync(const QString& state) {
    clock_sync = state == "unsynchronised" ? platform::ClockSync::unsynchronised
                 : state == "synchronised" ? platform::ClockSync::synchronised
                                           : platform::ClockSync::unknown;
    clock_check_->check();
  }
  Q_INVOKABLE void reset() {
    set_clock_sync("synchronised");
    settings_->set_warn_unsynchronised_clock(true);
    model_->reset();
    credentials_->reset();
    token_info_->reset();
    frame_->reset();
    restart_->restarts = 0;
    restart_->set_available(false);
    publish_model(false);
  }

 public slots:
  void qmlEngineAvailable(QQmlEngine* engine) {
    // The user's language, as the program takes it: LANGUAGE first.
    language = install_translation({});
    context_ = engine->rootContext();
    model_ = std::make_unique<StandInModel>();
    credentials_ = std::make_unique<StandInCredentials>();
    token_info_ = std::make_unique<StandInTokenInfo>();
    frame_ = std::make_unique<StandInFrame>(context_);
    settings_ = std::make_unique<Settings>();
    restart_ = std::make_unique<StandInRestart>();
    context_->setContextProperty("main_frame", frame());
    context_->setContextProperty("settings", settings());
    clock_check_ = std::make_unique<ClockCheck>([this] { return clock_sync; });
    context_->setContextProperty("clock_check", clock_check_.get());
    tray_host_ = std::make_unique<TrayHost>();
    context_->setContextProperty("tray_host", tray_host_.get());
    context_->setContextProperty("administrator_restart", restart());
    context_->setContextProperty("start_hidden", false);
    context_->setContextProperty("harness", this);
    publish_model(false);
  }

 private:
  QString language;
  QQmlContext* context_ = nullptr;
  std::unique_ptr<StandInModel> model_;
  std::unique_ptr<StandInCredentials> credentials_;
  std::unique_ptr<StandInTokenInfo> token_info_;
  std::unique_ptr<StandInFrame> frame_;
  std::unique_ptr<Settings> settings_;
  std::unique_ptr<StandInRestart> restart_;
  std::unique_ptr<TrayHost> tray_host_;
  platform::ClockSync clock_sync = platform::ClockSync::synchronised;
  std::unique_ptr<ClockCheck> clock_check_;
};

QUICK_TEST_MAIN_WITH_SETUP(views, Harness)

#include "views_test.moc"
