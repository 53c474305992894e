#include "gui/models/outcome.h"

#include <QtGlobal>

const QString press_key_text = QStringLiteral(QT_TRANSLATE_NOOP("model", "Press the key to get the OTP!"));
const QString access_failure_text = QStringLiteral(QT_TRANSLATE_NOOP("model", "Failed to access the key.\nRe-plug in the key!"));
const QString no_application_text =
    QStringLiteral(QT_TRANSLATE_NOOP("model", "This key's OTP application does not answer: the key is not used."));
