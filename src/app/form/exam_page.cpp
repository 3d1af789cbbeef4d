#include "app/form/exam_page.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <initializer_list>

namespace kelv::form {

ExamPage::ExamPage(QWidget* parent) : QWidget(parent) {
  setObjectName("ExamPage");
  // On a small screen the page scrolls rather than squeezing its texts.
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  outer->addWidget(scroll);
  auto* content = new QWidget(scroll);
  scroll->setWidget(content);
  auto* root = new QVBoxLayout(content);

  auto* sessions = new QGroupBox("场次编排", content);
  auto* box = new QVBoxLayout(sessions);
  auto* about = new QLabel(
      "编排考号之后，按“场次表”给每一科排考场和座位（人人保留考号，一个考场一场只考一科），"
      "写入场次安排、场次考场和每个场次的数据工作簿。",
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

  auto* rota = new QGroupBox("监考安排", content);
  auto* rbox = new QVBoxLayout(rota);
  auto* rota_about = new QLabel(
      "按“监考表”给每个考场（有场次表时每一场的考场）安排监考，场数相差不超过 1；"
      "写入监考列、监考安排、监考统计和监考通知工作簿。",
      rota);
  rota_about->setWordWrap(true);
  rbox->addWidget(rota_about);
  auto* rform = new QFormLayout;
  rota_seed_ = new QLineEdit(rota);
  rota_seed_->setObjectName("RotaSeed");
  rota_seed_->setPlaceholderText("空着则每次自动生成");
  rota_seed_->setValidator(
      new QRegularExpressionValidator(QRegularExpression("[0-9]{0,15}"), rota_seed_));
  rform->addRow("随机种子：", rota_seed_);
  rbox->addLayout(rform);
  own_subject_ = new QCheckBox("不监考本学科的考试", rota);
  own_subject_->setObjectName("RotaOwnSubject");
  own_classes_ = new QCheckBox("不监考自己任教班级所在的考场", rota);
  own_classes_->setObjectName("RotaOwnClasses");
  for (QCheckBox* rule : {own_subject_, own_classes_}) {
    connect(rule, &QCheckBox::toggled, this, [this] {
      if (rules_) rules_(own_subject_->isChecked(), own_classes_->isChecked());
    });
    rbox->addWidget(rule);
  }
  fresh_ = new QCheckBox("重新安排全部监考（不保留考场里已经填好的监考）", rota);
  fresh_->setObjectName("RotaFresh");
  rbox->addWidget(fresh_);
  invigilate_button_ = new QPushButton("安排监考", rota);
  invigilate_button_->setObjectName("Invigilate");
  invigilate_button_->setMinimumHeight(34);
  connect(invigilate_button_, &QPushButton::clicked, this, [this] {
    std::optional<uint64_t> seed;
    if (invigilate_ && read_seed(rota_seed_, seed)) invigilate_(seed, fresh_->isChecked());
  });
  rbox->addWidget(invigilate_button_);
  root->addWidget(rota);
  root->addStretch(1);
  set_ready(false);
}

bool ExamPage::read_seed(QLineEdit* box, std::optional<uint64_t>& seed) {
  const QString text = box->text().trimmed();
  seed.reset();
  if (text.isEmpty()) return true;
  bool ok = false;
  const qulonglong value = text.toULongLong(&ok);
  if (!ok) {
    QMessageBox::warning(this, "随机种子", "随机种子须是整数，或者空着。");
    return false;
  }
  seed = static_cast<uint64_t>(value);
  return true;
}

void ExamPage::arrange_clicked() {
  std::optional<uint64_t> seed;
  if (arrange_ && read_seed(seed_, seed)) arrange_(seed);
}

void ExamPage::set_ready(bool ready) {
  suggest_button_->setEnabled(ready);
  arrange_button_->setEnabled(ready);
  keep_box_->setEnabled(ready);
  for (QWidget* w :
       std::initializer_list<QWidget*>{invigilate_button_, own_subject_, own_classes_, fresh_})
    w->setEnabled(ready);
}

void ExamPage::show_rules(bool own_subject, bool own_classes) {
  const QSignalBlocker quiet_subject(own_subject_);
  const QSignalBlocker quiet_classes(own_classes_);
  own_subject_->setChecked(own_subject);
  own_classes_->setChecked(own_classes);
}

void ExamPage::show_keep_combinations(bool keep) {
  const QSignalBlocker quiet(keep_box_);
  keep_box_->setChecked(keep);
}

}  // namespace kelv::form
