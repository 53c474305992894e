#pragma once

#include <QString>

// The window in the user's language.

// Installs the translation of language (such as "de" or "fr_CH"), or, when it is empty, of the
// first of the user's UI languages that Umbrata speaks; English otherwise, whose own translation
// words its plural forms. Needs the application. Returns the name of the translation installed,
// such as "de".
QString install_translation(const QString& language);
