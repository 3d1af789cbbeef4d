// The first start of kelv-form for a user: before any workspace has been
// opened, the start dialog offers the sample workspace in the user's
// documents, in 文档\kelv 考务, so that a new user sees a whole exam in one
// click. The folder is the user's: nothing uninstalls it.
#pragma once

#include <QString>

namespace kelv::form {

class MainWindow;

inline constexpr const char* kSampleHomeFolder = "kelv 考务";

// 文档\kelv 考务: the folder kSampleHomeFolder in the user's documents.
QString sample_home();

// Opens the sample workspace in `home`: the one an earlier first start made
// there, else a new one written there. False (with the reason shown) when
// neither worked.
bool open_sample_in(MainWindow& window, const QString& home);

}  // namespace kelv::form
