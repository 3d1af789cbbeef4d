// The form's tests need one QApplication; they run on the offscreen
// platform unless another is asked for, with Qt's runtime folder in the
// build tree rather than a new one in the temporary folder, and settings
// in a folder of this process's own.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
    qputenv("XDG_RUNTIME_DIR", KELV_FORM_RUNTIME_DIR);
  // Settings the form keeps (the last workspace) go to a test location,
  // never the user's own.
  QStandardPaths::setTestModeEnabled(true);
  QApplication app(argc, argv);
  // CTest runs every test in a process of its own, several at once: each
  // keeps its settings (the recent workspaces, the window's size) apart,
  // so that one test's workspaces never show in another's list.
  const QTemporaryDir settings(QDir::tempPath() + "/kelv-form-test-settings-XXXXXX");
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
