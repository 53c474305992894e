#include "gui/localization.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLocale>
#include <QTranslator>

void follow_screen_scale() {
  // Qt 5 scales to the screen only when asked: at 192 dpi the window would stay half the size of
  // everything around it. The user's own QT_ENABLE_HIGHDPI_SCALING or QT_AUTO_SCREEN_SCALE_FACTOR
  // decides instead; QT_SCALE_FACTOR and QT_SCREEN_SCALE_FACTORS apply on top, as Qt does.
  if (!qEnvironmentVariableIsSet("QT_ENABLE_HIGHDPI_SCALING") && !qEnvironmentVariableIsSet("QT_AUTO_SCREEN_SCALE_FACTOR"))
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
  // The images' @2x variants on such a screen, and at 1.25 and 1.5, where Qt takes the nearest
  // larger one.
  QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
  if (!qEnvironmentVariableIsSet("QT_SCALE_FACTOR_ROUNDING_POLICY"))
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
}

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
