#pragma once

#include <QString>

// The window in the user's language and at the screen's scale.

// Before the application exists: the window scales with the screen, and follows a fractional
// scale as it is (1.25 at 120 dpi, 1.5 at 144) rather than Qt 5's rounding of it, unless
// QT_SCALE_FACTOR_ROUNDING_POLICY says.
void follow_screen_scale();

// Installs the translation of language (such as "de" or "fr_CH"), or, when it is empty, of the
// first of the user's UI languages that Umbrata speaks; English otherwise, whose own translation
// words its plural forms. Needs the application. Returns the name of the translation installed,
// such as "de".
QString install_translation(const QString& language);
