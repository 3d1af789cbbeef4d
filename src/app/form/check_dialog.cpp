#include "app/form/check_dialog.h"

#include <QBrush>
#include <QColor>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <string>

#include "app/form/qt_dialogs.h"

namespace kelv::form {
namespace {

QString q(const std::string& s) {
  return QString::fromStdString(s);
}

QString where(const app::Finding& f) {
  return q(f.sheet.empty() ? f.book : app::visible_text(f.sheet));
}

}  // namespace

CheckDialog::CheckDialog(const std::vector<app::Finding>& findings, const QString& action,
                         QWidget* parent)
    : QDialog(parent) {
  setObjectName("CheckDialog");
  setWindowTitle("检查数据");
  int errors = 0, mends = 0;
  for (const app::Finding& f : findings) {
    errors += f.severity == app::Severity::Error;
    mends += f.mend != app::Mend::None;
  }
  auto* layout = new QVBoxLayout(this);
  QString summary = QString("%1之前的检查发现 %2 个错误、%3 个提醒。")
                        .arg(action)
                        .arg(errors)
                        .arg(static_cast<int>(findings.size()) - errors);
  if (errors > 0) summary += "有错误时继续，会中途停下或得出错误的结果。";
  if (mends > 0) summary += QString("其中 %1 处可以自动修正（修正后请保存）。").arg(mends);
  auto* label = new QLabel(summary, this);
  label->setWordWrap(true);
  layout->addWidget(label);

  table_ = new QTableWidget(static_cast<int>(findings.size()), 6, this);
  table_->setObjectName("CheckFindings");
  table_->setHorizontalHeaderLabels({"级别", "工作表", "行", "列", "值", "说明"});
  table_->verticalHeader()->setVisible(false);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setWordWrap(true);
  for (int i = 0; i < static_cast<int>(findings.size()); ++i) {
    const app::Finding& f = findings[i];
    QString message = q(f.message);
    if (f.mend != app::Mend::None) message += "（可修正：" + q(app::mend_text(f)) + "）";
    const QStringList cells = {app::severity_text(f.severity),
                               where(f),
                               f.row > 0 ? QString::number(f.row) : QString(),
                               q(f.heading),
                               q(f.value),
                               message};
    for (int c = 0; c < cells.size(); ++c) {
      auto* item = new QTableWidgetItem(cells[c]);
      if (c == 5) item->setToolTip(cells[c]);
      if (c == 0 && f.severity == app::Severity::Error)
        item->setForeground(QBrush(QColor(192, 0, 0)));
      table_->setItem(i, c, item);
    }
  }
  QHeaderView* header = table_->horizontalHeader();
  for (int c = 0; c < 5; ++c) header->setSectionResizeMode(c, QHeaderView::ResizeToContents);
  header->setSectionResizeMode(5, QHeaderView::Stretch);
  table_->setFocusPolicy(Qt::NoFocus);
  layout->addWidget(table_, 1);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* go = buttons->addButton("继续", QDialogButtonBox::AcceptRole);
  QPushButton* cancel = buttons->addButton("取消", QDialogButtonBox::RejectRole);
  go->setObjectName("CheckContinue");
  cancel->setObjectName("CheckCancel");
  if (mends > 0) {
    mend_ = buttons->addButton("修正", QDialogButtonBox::ActionRole);
    mend_->setObjectName("CheckMend");
    connect(mend_, &QPushButton::clicked, this, [this] {
      choice_ = Choice::Mend;
      done(QDialog::Accepted);
    });
  }
  // With errors the safe answer is the default one.
  (errors > 0 ? cancel : go)->setDefault(true);
  connect(go, &QPushButton::clicked, this, [this] {
    choice_ = Choice::Continue;
    done(QDialog::Accepted);
  });
  connect(cancel, &QPushButton::clicked, this, [this] {
    choice_ = Choice::Cancel;
    done(QDialog::Rejected);
  });
  layout->addWidget(buttons);
  resize(900, 420);
}

void CheckDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  // Wrapped messages take the height their column's final width gives them.
  table_->resizeRowsToContents();
}

void CheckDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  table_->resizeRowsToContents();
}

app::CheckQuestion check_question(QtDialogs& dialogs, QWidget* parent) {
  return [&dialogs, parent](const std::vector<app::Finding>& findings, const std::string& action) {
    if (dialogs.script() != nullptr) return app::check_by_message_box(dialogs)(findings, action);
    CheckDialog dialog(findings, q(action), parent);
    dialog.exec();
    return dialog.choice();
  };
}

}  // namespace kelv::form
