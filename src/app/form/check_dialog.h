// The check before assignment and generation in the desktop form: when the
// check finds anything, a list of the findings (级别, 工作表, 行, 列, 值, 说明)
// with 继续 and 取消, and 修正 when some finding has a mend. Nothing is
// mended unless the person clicks 修正; 取消 sends nothing to the component.
#pragma once

#include <QDialog>
#include <string_view>
#include <vector>

#include "app/core/workspace.h"
#include "app/core/workspace_check.h"

class QTableWidget;
class QPushButton;

namespace kelv::form {

class QtDialogs;

class CheckDialog : public QDialog {
 public:
  using Choice = app::CheckChoice;

  CheckDialog(const std::vector<app::Finding>& findings, const QString& action, QWidget* parent);

  Choice choice() const { return choice_; }
  QTableWidget* table() const { return table_; }
  QPushButton* mend_button() const { return mend_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  Choice choice_ = Choice::Cancel;
  QTableWidget* table_;
  QPushButton* mend_ = nullptr;
};

// The check's findings as the form asks about them: the list above, or with
// a script the workspace's Yes/No message box ("Yes": 继续). The workspace's
// click asks it before assignment and generation; after 修正 the list is
// shown again with what is left.
app::CheckQuestion check_question(QtDialogs& dialogs, QWidget* parent);

}  // namespace kelv::form
