#pragma once

#include "gui/key_session.h"

#include <QObject>
#include <QString>

#include <memory>

// The active credential's token information, published to the views as "token_info": its serial
// number, algorithm and hash, as the Token Info dialog shows them. Lives on the GUI thread.
class TokenInfo : public QObject {
  Q_OBJECT
  // Empty until the key has answered; it stays empty while the key waits for a touch.
  Q_PROPERTY(QString text READ get_text NOTIFY text_changed)

 public:
  explicit TokenInfo(std::shared_ptr<KeySession> session, QObject* parent = nullptr);

  // Asks the key for the active credential and the list, unless that is asked already.
  Q_INVOKABLE void refresh();
  QString get_text() const { return text; }

 signals:
  void text_changed();

 protected:
  void set_text(const QString& value);

 private:
  std::shared_ptr<KeySession> session;
  QString text;
};
