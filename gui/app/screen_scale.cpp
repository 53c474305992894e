#include "gui/app/screen_scale.h"

#include <QCoreApplication>
#include <QGuiApplication>

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
