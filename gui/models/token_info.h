#pragma once

#include "gui/models/key_session.h"

#include <QObject>
#include <QVariantMap>
#include <QString>

#include <memory>

// The active credential's token information, published to the views as "token_info": its serial
// number, algorithm and hash, as the Token Info dialog shows them. Lives on the GUI thread.
class TokenInfo : public QObject {
  Q_OBJECT
  // The serial number, algorithm and hash, which the dialog words in the user's language. Empty
  // until the key has answered; it stays empty while the key waits for a touch.
  Q_PROPERTY(QVariantMap info READ get_info NOTIFY info_changed)

 public:
  explicit TokenInfo(std::shared_ptr<KeySession> session, QObject* parent = nullptr);

  // Asks the key for the active credential and the list, unless that is asked already.
  Q_INVOKABLE void refresh();
  QVariantMap get_info() const { return info; }

 signals:
  void info_changed();

 protected:
  void set_info(const QVariantMap& value);

 private:
  std::shared_ptr<KeySession> session;
  QVariantMap info;
};
