// The progress dialog of long work in the window (编排考号, 生成表格,
// 场次编排, 安排监考): what is being done ("生成桌贴 42,000 / 100,000") and
// 取消. It appears only once the work has gone on for about half a second,
// and the window keeps painting while the work runs: every report lets the
// event loop run for a moment (the work itself stays on this thread).
// While the dialog is up it is modal to the window, so the only input the
// window takes is 取消; before, no input is taken at all.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string_view>

#include "host/progress.h"

namespace kelv::form {

class WorkProgress : public host::Progress {
 public:
  // Tests and demos stand in for the person: asked at every report, true
  // stops the work as 取消 would. A scripted run redraws at every report,
  // so that the script sees what the dialog shows.
  using Script = std::function<bool(WorkProgress& progress, std::string_view what, int64_t done,
                                    int64_t total)>;
  static constexpr int kShowAfterMs = 500;

  // `title`: the work's name, the dialog's title.
  WorkProgress(QWidget* parent, const QString& title, Script script = nullptr,
               int show_after_ms = kShowAfterMs);
  ~WorkProgress() override;
  WorkProgress(const WorkProgress&) = delete;
  WorkProgress& operator=(const WorkProgress&) = delete;

  // Throws HostError(kUserInterrupt) once the person has pressed 取消 (or
  // the script said so), at this report and every one after it.
  void report(std::string_view what, int64_t done, int64_t total) override;

  // The dialog once shown, else null.
  QProgressDialog* dialog() const { return dialog_; }
  bool stopped() const { return stopped_; }
  int64_t reports() const { return reports_; }

 private:
  void show_dialog();
  // Brings the dialog up to date (when shown) and lets the window paint.
  void draw(std::string_view what, int64_t done, int64_t total);

  QPointer<QWidget> parent_;
  QString title_;
  Script script_;
  int show_after_ms_;
  QElapsedTimer started_;
  QElapsedTimer drawn_;
  QPointer<QProgressDialog> dialog_;
  bool stopped_ = false;
  int64_t reports_ = 0;
};

}  // namespace kelv::form
