// The languages compiled into the program: each one's plural forms of the countdown, and English
// for a language Umbrata does not speak.
#include "gui/localization.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

TEST(Localization, TheCountdownTakesEachLanguagesPluralForm) {
  const struct { const char* language; int seconds; const char* countdown; } cases[] = {
      {"en", 1, "1 second left"},       {"en", 2, "2 seconds left"},       {"en", 21, "21 seconds left"},
      {"de", 1, "noch 1 Sekunde"},      {"de", 2, "noch 2 Sekunden"},      {"de", 21, "noch 21 Sekunden"},
      {"fr", 1, "1 seconde restante"},  {"fr", 2, "2 secondes restantes"}, {"fr", 21, "21 secondes restantes"},
      {"es", 1, "queda 1 segundo"},     {"es", 2, "quedan 2 segundos"},    {"es", 21, "quedan 21 segundos"},
      {"it", 1, "1 second left"},  // not spoken: English
  };
  for (const auto& [language, seconds, countdown] : cases) {
    const QString installed = install_translation(language);
    EXPECT_EQ(installed, language == std::string("it") ? "en" : language);
    EXPECT_EQ(QCoreApplication::translate("otp_status_view", "%n seconds left", nullptr, seconds), countdown)
        << language << ' ' << seconds;
  }
}
