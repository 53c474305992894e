// Qt Quick Test of the views. The stand-ins for "otp_status" and "main_frame" derive from the
// real model and controller, so the views see exactly their properties, methods and signals;
// they only answer without a key and count how they are used.
#include "gui/gui.h"
#include "gui/main_frame.h"
#include "key/u2f_usbkey.h"

#include <QGuiApplication>
#include <QObject>
#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest>

class StandInModel : public OtpStatus {
  Q_OBJECT
  Q_PROPERTY(int ticks MEMBER ticks)
  Q_PROPERTY(int async_queries MEMBER async_queries)
  Q_PROPERTY(int refreshes MEMBER refreshes)
  Q_PROPERTY(QString selected MEMBER selected)

 public:
  StandInModel() : OtpStatus(std::make_shared<U2FUsbKey>(nullptr)) {}
  Q_INVOKABLE int response_time_changed() { return ++ticks; }
  Q_INVOKABLE bool async_query_token_info() { return ++async_queries; }
  // What the workers do: publish a code, or an error with otp 0.
  Q_INVOKABLE void show_code(int value, int count) {
    set_otp(value);
    set_digits(count);
    emit otp_changed();
  }
  Q_INVOKABLE void show_error(const QString& message) { show_failure(message); }
  // What the worker stores for the Credentials dialog.
  Q_INVOKABLE void show_credentials(const QVariantList& rows) { store_credentials(rows); }
  Q_INVOKABLE void show_credential_code(const QVariantMap& code) { store_credential_code(code); }
  Q_INVOKABLE void refresh_credentials() { ++refreshes; }
  Q_INVOKABLE void select_credential(const QString& serial) { selected = serial; }
  void reset() {
    show_code(0, 6);
    show_failure("");
    set_token_info("");
    show_credentials({});
    show_credential_code({});
    ticks = async_queries = refreshes = 0;
    selected.clear();
  }

 private:
  int ticks = 0, async_queries = 0, refreshes = 0;
  QString selected;
};

class StandInFrame : public MainFrame {
  Q_OBJECT
  Q_PROPERTY(int rescans MEMBER rescans)
  Q_PROPERTY(QString copied MEMBER copied)
  Q_PROPERTY(int restarts MEMBER restarts)

 public:
  explicit StandInFrame(QQmlContext* context)
      : MainFrame(context, qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {}
  Q_INVOKABLE void rescan_key() { ++rescans; }
  Q_INVOKABLE void copy_to_clipboard(QString text) { copied = text; }
  Q_INVOKABLE void set_key_without_access(bool on) { MainFrame::set_key_without_access(on); }
  Q_INVOKABLE void set_access_rule_installed(bool on) { MainFrame::set_access_rule_installed(on); }
  Q_INVOKABLE void set_key_needs_administrator(bool on) { MainFrame::set_key_needs_administrator(on); }
  Q_INVOKABLE void set_can_restart_as_administrator(bool on) { MainFrame::set_can_restart_as_administrator(on); }
  void restart_as_administrator() override { ++restarts; }
  void reset() {
    rescans = 0;
    restarts = 0;
    copied.clear();
    set_key_without_access(false);
    set_access_rule_installed(false);
    set_key_needs_administrator(false);
    set_can_restart_as_administrator(false);
  }

 private:
  int rescans = 0;
  int restarts = 0;
  QString copied;
};

class Harness : public QObject {
  Q_OBJECT
  Q_PROPERTY(QObject* model READ model CONSTANT)
  Q_PROPERTY(QObject* frame READ frame CONSTANT)

 public:
  QObject* model() { return model_.get(); }
  QObject* frame() { return frame_.get(); }
  // Publishes the stand-in model as "otp_status", or null, as the controller does.
  Q_INVOKABLE void publish_model(bool present) { context_->setContextProperty("otp_status", present ? model() : nullptr); }
  Q_INVOKABLE void reset() {
    model_->reset();
    frame_->reset();
    publish_model(false);
  }

 public slots:
  void qmlEngineAvailable(QQmlEngine* engine) {
    context_ = engine->rootContext();
    model_ = std::make_unique<StandInModel>();
    frame_ = std::make_unique<StandInFrame>(context_);
    context_->setContextProperty("main_frame", frame());
    context_->setContextProperty("harness", this);
    publish_model(false);
  }

 private:
  QQmlContext* context_ = nullptr;
  std::unique_ptr<StandInModel> model_;
  std::unique_ptr<StandInFrame> frame_;
};

QUICK_TEST_MAIN_WITH_SETUP(views, Harness)

#include "views_test.moc"
