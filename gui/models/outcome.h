#pragma once

#include "key/key_exception.h"

#include <QString>
#include <QStringList>

#include <stdexcept>

// How an exchange of the models with the key ended, and the texts that the views show for it.

// In English, as the log writes them; the views translate them in the context "model".
extern const QString press_key_text;
extern const QString access_failure_text;
extern const QString no_application_text;

// How an exchange ended: done, waiting for a touch of the key, the key lost, or refused for reason
// (in English), of the key layer's kind failure with its values.
struct Outcome {
  enum Kind { done, touch, access, refused } kind = done;
  QString reason;
  KeyFailure failure = KeyFailure::other;
  QStringList values;
};

// Runs exchange on the key session's worker and says how it ended; what it does not name (a
// failure outside the key layer) passes through to the worker, which logs it.
template <class Exchange>
Outcome attempt(Exchange exchange) {
  try {
    exchange();
    return {};
  } catch (const KeyNoObjectException&) {
    return {Outcome::touch, {}, KeyFailure::other, {}};
  } catch (const KeyAccessException&) {
    return {Outcome::access, {}, KeyFailure::other, {}};
  } catch (const KeyException& e) {
    QStringList values;
    for (const std::string& value : e.values()) values.append(QString::fromStdString(value));
    return {Outcome::refused, QString::fromStdString(e.what()), e.kind(), values};
  } catch (const std::runtime_error& e) {
    return {Outcome::refused, QString::fromStdString(e.what()), KeyFailure::other, {}};
  }
}
