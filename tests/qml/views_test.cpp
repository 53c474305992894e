// Qt Quick Test of the views, against stand-ins for "otp_status" and "main_frame" that have the
// model's and the controller's properties, methods and signals, and count how they are used.
#include "gui/gui.h"
#include "gui/main_frame.h"

#include <QMetaMethod>
#include <QMetaProperty>
#include <QObject>
#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest>

// The model's meta-object surface; setting otp through the property emits nothing, as there.
class StandInModel : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString serial_num READ serial_num WRITE set_serial_num NOTIFY serial_num_changed)
  Q_PROPERTY(int otp READ otp WRITE set_otp NOTIFY otp_changed)
  Q_PROPERTY(int step READ step)
  Q_PROPERTY(QString err_msg READ err_msg NOTIFY err_msg_changed)
  Q_PROPERTY(int digits READ digits WRITE set_digits NOTIFY digits_changed)
  Q_PROPERTY(QString token_info READ token_info WRITE set_token_info NOTIFY token_info_changed)
  Q_PROPERTY(int ticks MEMBER ticks_)
  Q_PROPERTY(int async_queries MEMBER async_queries_)
  Q_PROPERTY(bool press_mode_result MEMBER press_mode_result_)

 public:
  Q_INVOKABLE int response_time_changed() { return ++ticks_; }
  Q_INVOKABLE bool set_press_mode(bool) { return press_mode_result_; }
  Q_INVOKABLE bool query_token_info() { return false; }
  Q_INVOKABLE bool async_query_token_info() {
    ++async_queries_;
    return true;
  }

  // What the workers do: publish a code, or an error with otp 0.
  Q_INVOKABLE void show_code(int otp, int digits) {
    otp_ = otp;
    digits_ = digits;
    emit otp_changed();
  }
  Q_INVOKABLE void show_error(const QString& message) {
    otp_ = 0;
    err_msg_ = message;
    emit otp_changed();
  }
  Q_INVOKABLE void reset() {
    otp_ = 0;
    digits_ = 6;
    err_msg_.clear();
    token_info_.clear();
    ticks_ = async_queries_ = 0;
    press_mode_result_ = true;
    emit otp_changed();
    emit token_info_changed();
  }

  QString serial_num() const { return serial_num_; }
  void set_serial_num(const QString& v) {
    if (v == serial_num_) return;
    serial_num_ = v;
    emit serial_num_changed();
  }
  int otp() const { return otp_; }
  void set_otp(int v) { otp_ = v; }
  int step() const { return 30; }
  QString err_msg() const { return err_msg_; }
  int digits() const { return digits_; }
  void set_digits(int v) { digits_ = v; }
  QString token_info() const { return token_info_; }
  void set_token_info(const QString& v) {
    token_info_ = v;
    emit token_info_changed();
  }

 signals:
  void token_info_changed();
  void serial_num_changed();
  void otp_changed();
  void err_msg_changed();
  void digits_changed();

 private:
  QString serial_num_, err_msg_, token_info_;
  int otp_ = 0, digits_ = 6, ticks_ = 0, async_queries_ = 0;
  bool press_mode_result_ = true;
};

class StandInFrame : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool key_without_access READ key_without_access NOTIFY key_without_access_changed)
  Q_PROPERTY(int rescans MEMBER rescans_)
  Q_PROPERTY(QString copied MEMBER copied_)

 public:
  Q_INVOKABLE void rescan_key() { ++rescans_; }
  Q_INVOKABLE void copy_to_clipboard(QString str) { copied_ = str; }
  Q_INVOKABLE void set_key_without_access(bool on) {
    key_without_access_ = on;
    emit key_without_access_changed();
  }
  bool key_without_access() const { return key_without_access_; }

 signals:
  void show_otp_status();
  void hid_change_event();
  void key_without_access_changed();

 private:
  bool key_without_access_ = false;
  int rescans_ = 0;
  QString copied_;
};

// The stand-in offers every property, signal and invokable method of the real object, with the
// same types, so the views cannot use what the real one lacks unnoticed, nor the other way.
void check_stand_in(const QMetaObject& real, const QMetaObject& stand_in) {
  for (int i = real.propertyOffset(); i < real.propertyCount(); ++i) {
    const QMetaProperty p = real.property(i);
    const QMetaProperty s = stand_in.property(stand_in.indexOfProperty(p.name()));
    if (!s.isValid() || qstrcmp(s.typeName(), p.typeName()) != 0 || s.hasNotifySignal() != p.hasNotifySignal() ||
        s.isWritable() != p.isWritable())
      qFatal("%s: the stand-in's property %s differs", real.className(), p.name());
  }
  for (int i = real.methodOffset(); i < real.methodCount(); ++i) {
    const QMetaMethod m = real.method(i);
    if (m.access() != QMetaMethod::Public) continue;
    const int j = stand_in.indexOfMethod(m.methodSignature().constData());
    if (j < 0 || stand_in.method(j).methodType() != m.methodType() || qstrcmp(stand_in.method(j).typeName(), m.typeName()) != 0)
      qFatal("%s: the stand-in lacks %s", real.className(), m.methodSignature().constData());
  }
}

class Harness : public QObject {
  Q_OBJECT
  Q_PROPERTY(QObject* model READ model CONSTANT)
  Q_PROPERTY(QObject* frame READ frame CONSTANT)

 public:
  QObject* model() { return &model_; }
  QObject* frame() { return &frame_; }

  // Publishes the stand-in model as "otp_status", or null, as the controller does.
  Q_INVOKABLE void publish_model(bool present) {
    context_->setContextProperty("otp_status", present ? &model_ : nullptr);
  }
  Q_INVOKABLE void reset() {
    model_.reset();
    frame_.setProperty("rescans", 0);
    frame_.setProperty("copied", QString());
    frame_.set_key_without_access(false);
    publish_model(false);
  }

 public slots:
  void qmlEngineAvailable(QQmlEngine* engine) {
    check_stand_in(OtpStatus::staticMetaObject, StandInModel::staticMetaObject);
    check_stand_in(MainFrame::staticMetaObject, StandInFrame::staticMetaObject);
    context_ = engine->rootContext();
    context_->setContextProperty("main_frame", &frame_);
    context_->setContextProperty("harness", this);
    publish_model(false);
  }

 private:
  QQmlContext* context_ = nullptr;
  StandInModel model_;
  StandInFrame frame_;
};

QUICK_TEST_MAIN_WITH_SETUP(views, Harness)

#include "views_test.moc"
