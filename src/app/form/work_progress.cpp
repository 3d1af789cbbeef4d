#include "app/form/work_progress.h"

#include <QApplication>
#include <QCursor>
#include <algorithm>
#include <limits>

#include "host/host_error.h"

namespace kelv::form {
namespace {

// How often the dialog is redrawn and the event loop runs (milliseconds).
constexpr int kRedrawMs = 40;

int clamp_to_int(int64_t n) {
  return static_cast<int>(std::clamp<int64_t>(n, 0, std::numeric_limits<int>::max()));
}

}  // namespace

WorkProgress::WorkProgress(QWidget* parent, const QString& title, Script script, int show_after_ms)
    : parent_(parent), title_(title), script_(std::move(script)), show_after_ms_(show_after_ms) {
  started_.start();
  drawn_.start();
}

WorkProgress::~WorkProgress() {
  delete dialog_.data();
}

void WorkProgress::show_dialog() {
  auto* dialog = new QProgressDialog(parent_);
  dialog->setWindowTitle(title_);
  dialog->setCancelButtonText("取消");
  dialog->setWindowModality(Qt::WindowModal);
  dialog->setAutoClose(false);
  dialog->setAutoReset(false);
  dialog->setMinimumDuration(0);
  dialog->setMinimumWidth(420);
  dialog_ = dialog;
  // Over the middle of the window, where the person is looking.
  dialog->adjustSize();
  if (parent_ != nullptr) {
    const QRect over = parent_->window()->geometry();
    dialog->move(over.center() - QPoint(dialog->width() / 2, dialog->height() / 2));
  }
  // The window's busy cursor would hide that 取消 can be pressed.
  if (QApplication::overrideCursor() != nullptr)
    QApplication::changeOverrideCursor(Qt::ArrowCursor);
  dialog->show();
}

void WorkProgress::draw(std::string_view what, int64_t done, int64_t total) {
  drawn_.restart();
  if (dialog_ == nullptr) {
    // Painting only: no click reaches the window while the work runs.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return;
  }
  // Large counts keep their proportion in the dialog's int range.
  const int64_t scale = total > std::numeric_limits<int>::max() / 2 ? total / 1000000 + 1 : 1;
  dialog_->setMaximum(clamp_to_int(total / scale));
  dialog_->setLabelText(QString::fromStdString(host::progress_text(what, done, total)));
  dialog_->setValue(clamp_to_int(std::min(done, total > 0 ? total : done) / scale));
  // The dialog is modal to the window: its 取消 is the only input taken.
  QApplication::processEvents(QEventLoop::AllEvents);
  if (dialog_ != nullptr && dialog_->wasCanceled()) stopped_ = true;
}

void WorkProgress::report(std::string_view what, int64_t done, int64_t total) {
  ++reports_;
  if (!stopped_) {
    if (dialog_ == nullptr && started_.elapsed() >= show_after_ms_) {
      show_dialog();
      draw(what, done, total);
    } else if (drawn_.elapsed() >= kRedrawMs || done == total || script_) {
      draw(what, done, total);
    }
  }
  if (!stopped_ && script_ && script_(*this, what, done, total)) stopped_ = true;
  if (stopped_) throw host::HostError::host(host::kUserInterrupt);
}

}  // namespace kelv::form
