#include "app/form/qt_dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <filesystem>

#include "app/core/failure_sentence.h"
#include "app/form/window_state.h"
#include "host/environment.h"
#include "host/file_path.h"
#include "host/host_error.h"

namespace kelv::form {
namespace {

QString q(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// A dialog shown during long work must not carry the busy cursor: the
// override cursors are taken off for the dialog's lifetime and put back.
class CursorPause {
 public:
  CursorPause() {
    while (QApplication::overrideCursor() != nullptr) {
      saved_.push_back(*QApplication::overrideCursor());
      QApplication::restoreOverrideCursor();
    }
  }
  ~CursorPause() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) QApplication::setOverrideCursor(*it);
  }

 private:
  std::vector<QCursor> saved_;
};

}  // namespace

host::MessageResult QtDialogs::message_box(std::string_view text, host::MessageButtons buttons,
                                           host::MessageIcon icon, std::string_view title) {
  if (script_ != nullptr) return script_->message_box(text, buttons, icon, title);
  CursorPause pause;
  // An error box says what is wrong and what to do, without the bare number.
  const std::string shown =
      icon == host::MessageIcon::Critical ? app::error_box_sentence(text) : std::string(text);
  QMessageBox box(icon == host::MessageIcon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon,
                  q(title), q(shown), QMessageBox::NoButton, window_.data());
  if (buttons == host::MessageButtons::YesNo) {
    QPushButton* yes = box.addButton("是(&Y)", QMessageBox::YesRole);
    QPushButton* no = box.addButton("否(&N)", QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes ? host::MessageResult::Yes : host::MessageResult::No;
  }
  QPushButton* ok = box.addButton("确定", QMessageBox::AcceptRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  box.exec();
  return host::MessageResult::Ok;
}

std::string QtDialogs::input_box(std::string_view prompt, std::string_view title,
                                 std::string_view default_text) {
  if (script_ != nullptr) return script_->input_box(prompt, title, default_text);
  CursorPause pause;
  QInputDialog dialog(window_.data());
  dialog.setWindowTitle(q(title));
  dialog.setLabelText(q(prompt));
  dialog.setTextValue(q(default_text));
  dialog.setOkButtonText("确定");
  dialog.setCancelButtonText("取消");
  if (dialog.exec() != QDialog::Accepted) return {};
  return dialog.textValue().toStdString();
}

void QtDialogs::tone(int32_t hertz, int32_t milliseconds) {
  if (script_ != nullptr) script_->tone(hertz, milliseconds);
  QApplication::beep();
}

void QtDialogs::open_document(std::string_view path) {
  if (script_ != nullptr) {
    script_->open_document(path);
    return;
  }
  const std::string native = host::native_path(path);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(host::file_path(native), ec))
    throw host::HostError::host(host::kFileNotFound, "文件未找到：" + std::string(path));
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(q(native)).absoluteFilePath())))
    throw host::HostError::host(
        host::kRefused, "系统里没有能打开“" + QFileInfo(q(native)).fileName().toStdString() +
                            "”的程序：请安装能打开这种文件的软件（如 WPS Office 或 "
                            "LibreOffice），或者在文件管理器里打开它。");
}

void QtDialogs::make_fixed(QWidget* window) {
  // As large as the window was made, never larger than the screen.
  QSize size = window->size().expandedTo(window->minimumSizeHint());
  if (const QScreen* screen = window->screen())
    size = size.boundedTo(screen->availableGeometry().size());
  window->setFixedSize(size);
}

void QtDialogs::make_form_resizable(std::string_view caption) {
  if (script_ != nullptr) script_->make_form_resizable(caption);
  // Like the window look-up by title: a form whose caption differs is not found.
  // The title is the caption, then the workspace and the workbook, and
  // "[*]" where the unsaved-changes mark shows.
  if (window_ == nullptr || caption_of(window_->windowTitle()) != q(caption))
    throw host::HostError::host(host::kRefused, "找不到窗体窗口");
  const QSize size = window_->size();
  window_->setMinimumSize(window_->minimumSizeHint().expandedTo(QSize(0, 0)));
  window_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  window_->resize(size);
}

}  // namespace kelv::form
