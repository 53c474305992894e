#include "gui/app/localization.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

QString install_translation(const QString& language) {
  // Owned by the application, which outlives every text it translates.
  auto* translator = new QTranslator(QCoreApplication::instance());
  // QLocale() walks the UI languages (LANGUAGE, then LC_ALL, LC_MESSAGES and LANG on Linux), which
  // QLocale::system().name() alone would not.
  const QLocale locale = language.isEmpty() ? QLocale() : QLocale(language);
  if (!translator->load(locale, QStringLiteral("umbrata"), QStringLiteral("_"), QStringLiteral(":/translations")))
    translator->load(QStringLiteral("umbrata_en"), QStringLiteral(":/translations"));
  QCoreApplication::installTranslator(translator);
  return translator->language();
}
