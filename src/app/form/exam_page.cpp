#include "app/form/exam_page.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace kelv::form {

ExamPage::ExamPage(QWidget* parent) : QWidget(parent) {
  setObjectName("ExamPage");
  auto* root = new QVBoxLayout(this);

  auto* sessions = new QGroupBox("场次编排", this);
  auto* box = new QVBoxLayout(sessions);
  auto* about = new QLabel(
      "编排考号之后，按数据工作簿的“场次表”给每一科排考场和座位：人人保留编排考号时的考号，"
      "同一场次一个考场只考一科。写入“场次安排”“场次考场”、考生表的“某科考场”“某科座号”列，"
      "以及每个场次一个数据工作簿（在数据表列表里，可以照常用模板生成门贴、签到表）。",
      sessions);
  about->setWordWrap(true);
  box->addWidget(about);

  auto* form = new QFormLayout;
  seed_ = new QLineEdit(sessions);
  seed_->setObjectName("SessionSeed");
  seed_->setPlaceholderText("空着则用编排考号时的种子");
  seed_->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,19}"), seed_));
  form->addRow("随机种子：", seed_);
  box->addLayout(form);

  keep_box_ = new QCheckBox("编排考号时把同一选考组合排在相连的考场", sessions);
  keep_box_->setObjectName("KeepCombinations");
  keep_box_->setToolTip("多数考生每一科都在编排考号时的考场考试；改了之后请重新编排考号");
  connect(keep_box_, &QCheckBox::toggled, this, [this](bool on) {
    if (keep_) keep_(on);
  });
  box->addWidget(keep_box_);

  auto* buttons = new QHBoxLayout;
  suggest_button_ = new QPushButton("拟场次表", sessions);
  suggest_button_->setObjectName("SuggestTimetable");
  suggest_button_->setToolTip("按考生的选考科目拟一份场次表草案（已有场次表时先询问）");
  connect(suggest_button_, &QPushButton::clicked, this, [this] {
    if (suggest_) suggest_();
  });
  arrange_button_ = new QPushButton("编排场次", sessions);
  arrange_button_->setObjectName("ArrangeSessions");
  arrange_button_->setMinimumHeight(34);
  connect(arrange_button_, &QPushButton::clicked, this, [this] { arrange_clicked(); });
  buttons->addWidget(suggest_button_);
  buttons->addWidget(arrange_button_, 1);
  box->addLayout(buttons);

  root->addWidget(sessions);
  root->addStretch(1);
  set_ready(false);
}

void ExamPage::arrange_clicked() {
  if (!arrange_) return;
  const QString text = seed_->text().trimmed();
  if (text.isEmpty()) {
    arrange_(std::nullopt);
    return;
  }
  bool ok = false;
  const qulonglong seed = text.toULongLong(&ok);
  if (!ok) {
    QMessageBox::warning(this, "场次编排",
                         "随机种子须是不大于 18446744073709551615 的整数，或者空着。");
    return;
  }
  arrange_(static_cast<uint64_t>(seed));
}

void ExamPage::set_ready(bool ready) {
  suggest_button_->setEnabled(ready);
  arrange_button_->setEnabled(ready);
  keep_box_->setEnabled(ready);
}

void ExamPage::show_keep_combinations(bool keep) {
  const QSignalBlocker quiet(keep_box_);
  keep_box_->setChecked(keep);
}

}  // namespace kelv::form
