// GoogleTest main for tests that need a Qt event loop: a QGuiApplication on the offscreen
// platform (on Linux), or a QCoreApplication for the models, which know nothing of Qt Gui; and
// a settings folder of its own, never the user's.
#ifdef UMBRATA_TEST_CORE_ONLY
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
#ifndef _WIN32
  // Windows' own platform there, in the X server of the session that runs Wine.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
  const QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  ::testing::InitGoogleTest(&argc, argv);
  TestApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
