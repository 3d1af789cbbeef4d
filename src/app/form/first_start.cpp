#include "app/form/first_start.h"

#include <QDir>
#include <QStandardPaths>
#include <filesystem>
#include <system_error>

#include "app/form/main_window.h"
#include "host/file_path.h"

namespace kelv::form {

namespace fs = std::filesystem;

QString sample_home() {
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return QDir(documents).filePath(QString::fromUtf8(kSampleHomeFolder));
}

bool open_sample_in(MainWindow& window, const QString& home) {
  const fs::path folder = host::file_path(home.toStdString());
  const fs::path made = folder / host::file_path(MainWindow::kSampleFolder);
  std::error_code ec;
  // Made before (and perhaps worked in since): opened as it is, never
  // written over.
  if (fs::is_directory(made, ec)) return window.open_workspace(host::path_text(made));
  fs::create_directories(folder, ec);  // a failure shows when the sample is written
  return window.create_sample(host::path_text(folder));
}

}  // namespace kelv::form
