// The form's tests need one QApplication; they run on the offscreen
// platform unless another is asked for, with Qt's runtime folder in the
// build tree rather than a new one in the temporary folder, and settings
// in Qt's test location.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStandardPaths>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
    qputenv("XDG_RUNTIME_DIR", KELV_FORM_RUNTIME_DIR);
  // Settings the form keeps (the last workspace) go to a test location,
  // never the user's own.
  QStandardPaths::setTestModeEnabled(true);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
