#include "app/form/form_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kelv::form {
namespace {

using host::ControlKind;

QString q(const std::string& s) {
  return QString::fromStdString(s);
}

// The text a text box or combo box shows for a value; Null shows nothing.
QString text_of(const host::Variant& v) {
  if (v.is_null()) return {};
  try {
    return q(v.to_text());
  } catch (const std::exception&) {
    return {};
  }
}

// A check box that can show Null (grey) but that a click always turns to
// True or False, like the form's check boxes.
class CheckBox : public QCheckBox {
 public:
  using QCheckBox::QCheckBox;

 protected:
  void nextCheckState() override {
    setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
  }
};

// Guards the copy of model state into widgets: the widgets' own change
// signals are ignored while it runs.
class Syncing {
 public:
  explicit Syncing(int& depth) : depth_(depth) { ++depth_; }
  ~Syncing() { --depth_; }

 private:
  int& depth_;
};

QString item_text(const QComboBox* box, int i) {
  return box->itemText(i);
}

QString item_text(const QListWidget* list, int i) {
  return list->item(i)->text();
}

// Refills a combo or list box whose items are not the control's.
template <typename Box>
void show_items(Box* box, const std::vector<std::string>& items) {
  bool same = static_cast<qsizetype>(items.size()) == box->count();
  for (int i = 0; same && i < box->count(); ++i)
    same = q(items[static_cast<size_t>(i)]) == item_text(box, i);
  if (same) return;
  box->clear();
  for (const auto& item : items) box->addItem(q(item));
}

}  // namespace

FormPanel::FormPanel(QWidget* parent) : QWidget(parent) {
  setObjectName("FormPanel");
  build();
  bind(nullptr);
}

FormPanel::~FormPanel() {
  if (model_ != nullptr) model_->set_listener(nullptr);
}

template <class W>
W* FormPanel::named(W* w, const char* name) {
  w->setObjectName(name);
  widgets_[name] = w;
  return w;
}

QLineEdit* FormPanel::make_line(const char* name) {
  auto* w = named(new QLineEdit(this), name);
  QObject::connect(w, &QLineEdit::editingFinished, this, [this, w, name] {
    host::Control* c = accepting(name);
    if (c == nullptr || text_of(c->value()) == w->text()) return;  // nothing was changed
    user_value(*c, w->text().toStdString());
  });
  return w;
}

QComboBox* FormPanel::make_combo(const char* name) {
  auto* w = named(new QComboBox(this), name);
  w->setEditable(true);
  w->setInsertPolicy(QComboBox::NoInsert);
  w->setMinimumContentsLength(8);
  auto changed = [this, w, name] {
    host::Control* c = accepting(name);
    if (c == nullptr || text_of(c->value()) == w->currentText()) return;
    user_value(*c, w->currentText().toStdString());
  };
  QObject::connect(w, &QComboBox::activated, this, changed);
  QObject::connect(w->lineEdit(), &QLineEdit::editingFinished, this, changed);
  return w;
}

QListWidget* FormPanel::make_list(const char* name) {
  auto* w = named(new QListWidget(this), name);
  QObject::connect(w, &QListWidget::currentRowChanged, this, [this, name](int row) {
    if (row < 0) return;
    host::Control* c = accepting(name);
    if (c == nullptr) return;
    {
      Syncing guard(syncing_);
      c->set_list_index(row);
    }
    user_click(std::string(name) + "Click");
  });
  return w;
}

QPushButton* FormPanel::make_button(const char* name, const char* text) {
  auto* w = named(new QPushButton(text, this), name);
  QObject::connect(w, &QPushButton::clicked, this, [this, name] {
    if (syncing_ > 0 || blocked_) return;
    user_click(std::string(name) + "Click");
  });
  return w;
}

QRadioButton* FormPanel::make_option(const char* name, const char* text) {
  auto* w = named(new QRadioButton(text, this), name);
  // The model keeps the pair exclusive; the buttons follow it.
  w->setAutoExclusive(false);
  QObject::connect(w, &QRadioButton::clicked, this, [this, w, name](bool checked) {
    if (syncing_ > 0) return;
    host::Control* c = control(name);
    if (!checked || c == nullptr || blocked_) {
      // A click on the chosen button keeps it chosen.
      if (c != nullptr) {
        sync(*c);
      } else {
        Syncing guard(syncing_);
        w->setChecked(false);
      }
      return;
    }
    user_value(*c, true);
  });
  return w;
}

QCheckBox* FormPanel::make_check(const char* name, const char* text) {
  auto* w = named(new CheckBox(text, this), name);
  w->setTristate(true);
  QObject::connect(w, &QCheckBox::clicked, this, [this, w, name] {
    if (host::Control* c = accepting(name)) user_value(*c, w->checkState() == Qt::Checked);
  });
  return w;
}

QLabel* FormPanel::make_label(const char* text) {
  return new QLabel(text, this);
}

// Page0: the data sheets, the exam number settings, fair seating and the
// command that assigns.
QWidget* FormPanel::build_arrangement_page() {
  auto* page = new QWidget;
  page->setObjectName("Page0");
  auto* grid = new QGridLayout(page);
  auto* left = new QVBoxLayout;
  left->addWidget(make_label("数据表："));
  left->addWidget(make_list("LtbBiao"), 1);
  grid->addLayout(left, 0, 0);

  auto* right = new QVBoxLayout;
  auto* numbers = new QFormLayout;
  numbers->addRow(make_label("起始考号："), make_line("TxtSKHao"));
  numbers->addRow(make_label("座号循环数："), make_line("TxtXHShu"));
  right->addLayout(numbers);
  auto* order = new QGroupBox("考号编排", page);
  auto* order_layout = new QVBoxLayout(order);
  order_layout->addWidget(make_option("OptSXKaoHao", "按顺序编排考号"));
  order_layout->addWidget(make_option("OptSJKaoHao", "随机编排考号"));
  right->addWidget(order);
  auto* seats = new QGroupBox("座号编排", page);
  auto* seats_layout = new QVBoxLayout(seats);
  seats_layout->addWidget(make_option("OptXHZuoHao", "循环编排座号"));
  seats_layout->addWidget(make_option("OptACZuoHao", "按考场编排座号"));
  right->addWidget(seats);
  auto* seating = new QGroupBox("公平排座", page);
  auto* seating_layout = new QFormLayout(seating);
  auto* seed = make_line("TxtZhongZi");
  seed->setPlaceholderText("空着则每次自动生成");
  seed->setToolTip(
      "同样的种子、数据和选项排出同样的随机顺序；用过的种子记在数据簿的“排座记录”表中");
  seating_layout->addRow(make_label("随机种子："), seed);
  auto* apart = make_combo("CmbFenKai");
  apart->setToolTip("这一列相同的考生均匀分到各考场，并且尽量不坐相邻座位");
  seating_layout->addRow(make_label("同组不相邻："), apart);
  auto* versions = make_check("ChbABJuan", "AB 卷");
  versions->setToolTip("考生表写入“试卷”列（A 或 B），前后左右相邻的座位试卷不同");
  seating_layout->addRow(versions);
  right->addWidget(seating);
  right->addStretch(1);
  auto* go = make_button("CmdDoKaoHao", "编排考号");
  go->setMinimumHeight(34);
  right->addWidget(go);
  grid->addLayout(right, 0, 1);
  grid->setColumnStretch(0, 1);
  return page;
}

// Page1: the templates, their layout and the command that generates.
QWidget* FormPanel::build_tables_page() {
  auto* page = new QWidget;
  page->setObjectName("Page1");
  auto* grid = new QGridLayout(page);
  auto* left = new QVBoxLayout;
  left->addWidget(make_label("模板："));
  left->addWidget(make_list("LtbMoBan"), 1);
  auto* commands = new QHBoxLayout;
  commands->addWidget(make_button("CmdAddMB", "添加"));
  commands->addWidget(make_button("CmdDelMB", "删除"));
  commands->addWidget(make_button("CmdEditMB", "改名"));
  left->addLayout(commands);
  grid->addLayout(left, 0, 0);

  auto* right = new QVBoxLayout;
  auto* layout = new QFormLayout;
  layout->addRow(make_label("每页行数："), make_line("TxtHang"));
  layout->addRow(make_label("每页列数："), make_line("TxtLie"));
  layout->addRow(make_label("行间距："), make_line("TxtHJv"));
  layout->addRow(make_label("列间距："), make_line("TxtLJv"));
  layout->addRow(make_label("排序列："), make_combo("CmbPaiXv"));
  layout->addRow(make_label("换页列："), make_combo("CmbHuanYe"));
  right->addLayout(layout);
  right->addWidget(make_check("ChbHengPai", "先横向后纵向排列"));
  right->addWidget(make_check("ChbSJYuan", "数据源为考生表"));
  auto* room_layout = make_check("ChbZuoWei", "按考场座位排列（座位表）");
  room_layout->setToolTip("每个考场一页，主体区按考场表的每列座数、列数排成座位图");
  right->addWidget(room_layout);
  right->addStretch(1);
  auto* go = make_button("CmdDoYongBiao", "生成表格");
  go->setMinimumHeight(34);
  right->addWidget(go);
  grid->addLayout(right, 0, 1);
  grid->setColumnStretch(0, 1);
  return page;
}

void FormPanel::build() {
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(6, 6, 6, 6);
  pages_ = named(new QTabWidget(this), "MultiPage1");
  root->addWidget(pages_, 1);
  pages_->addTab(build_arrangement_page(), "考号编排");
  pages_->addTab(build_tables_page(), "生成表格");
  QObject::connect(pages_, &QTabWidget::currentChanged, this, [this](int index) {
    // Pages the window adds are its own: the component never hears of them.
    if (index > 1) return;
    host::Control* c = accepting("MultiPage1");
    if (c == nullptr) return;
    {
      Syncing guard(syncing_);
      c->set_selected_page(index == 1 ? "Page1" : "Page0");
    }
    user_click("MultiPage1Change");
  });

  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  auto* help = named(new QPushButton("帮助", this), "MyHelp");
  QObject::connect(help, &QPushButton::clicked, this, [this] {
    if (!blocked_ && model_ != nullptr) user_click("MyHelp");
  });
  bottom->addWidget(help);
  root->addLayout(bottom);
}

void FormPanel::add_page(QWidget* page, const QString& title) {
  page->setParent(pages_);
  pages_->addTab(page, title);
}

host::Control* FormPanel::control(const QString& name) const {
  if (model_ == nullptr || !model_->has_control(name.toStdString())) return nullptr;
  return &model_->control(name.toStdString());
}

host::Control* FormPanel::accepting(const char* name) {
  if (syncing_ > 0) return nullptr;
  host::Control* c = control(name);
  if (c != nullptr && blocked_) {
    sync(*c);
    return nullptr;
  }
  return c;
}

void FormPanel::user_value(host::Control& c, const host::Variant& value) {
  {
    Syncing guard(syncing_);
    c.set_value(value);
  }
  user_set(c.name());
}

void FormPanel::user_click(const std::string& event) {
  if (click_) click_(event);
}

void FormPanel::user_set(const std::string& control) {
  if (set_) set_(control);
}

void FormPanel::bind(host::FormModel* model) {
  if (model_ != nullptr && model_ != model) model_->set_listener(nullptr);
  model_ = model;
  if (model_ != nullptr) model_->set_listener([this](const host::Control& c) { sync(c); });
  sync_all();
}

void FormPanel::sync_all() {
  for (auto it = widgets_.begin(); it != widgets_.end(); ++it) {
    if (it.key() == "MyHelp") {
      it.value()->setEnabled(model_ != nullptr);
      continue;
    }
    host::Control* c = control(it.key());
    if (c != nullptr) {
      sync(*c);
    } else {
      it.value()->setEnabled(false);
    }
  }
}

void FormPanel::sync(const host::Control& c) {
  QWidget* w = widget(q(c.name()));
  if (w == nullptr) return;
  Syncing guard(syncing_);
  w->setEnabled(c.enabled());
  switch (c.kind()) {
    case ControlKind::TextBox: {
      auto* edit = static_cast<QLineEdit*>(w);
      const QString text = text_of(c.value());
      if (edit->text() != text) edit->setText(text);
      break;
    }
    case ControlKind::ComboBox: {
      auto* box = static_cast<QComboBox*>(w);
      show_items(box, c.items());
      const QString text = text_of(c.value());
      const int index = c.list_index();
      if (index >= 0 && index < box->count()) box->setCurrentIndex(index);
      if (box->currentText() != text) box->setEditText(text);
      break;
    }
    case ControlKind::ListBox: {
      auto* list = static_cast<QListWidget*>(w);
      show_items(list, c.items());
      const int index = c.list_index();
      if (index < 0) {
        list->setCurrentRow(-1);
        list->clearSelection();
      } else if (list->currentRow() != index) {
        list->setCurrentRow(index);
      }
      if (index >= 0) list->scrollToItem(list->item(index));
      break;
    }
    case ControlKind::CheckBox: {
      auto* box = static_cast<QCheckBox*>(w);
      const host::Variant v = c.value();
      Qt::CheckState state = Qt::PartiallyChecked;
      if (!v.is_null()) {
        try {
          state = v.to_bool() ? Qt::Checked : Qt::Unchecked;
        } catch (const std::exception&) {
          state = Qt::PartiallyChecked;  // a value that is no Boolean shows as Null
        }
      }
      box->setCheckState(state);
      break;
    }
    case ControlKind::OptionButton: {
      auto* button = static_cast<QRadioButton*>(w);
      const host::Variant v = c.value();
      button->setChecked(v.is_bool() && v.as_bool());
      break;
    }
    case ControlKind::MultiPage: {
      const int index = c.selected_page() == "Page1" ? 1 : 0;
      if (pages_->currentIndex() != index) pages_->setCurrentIndex(index);
      break;
    }
    case ControlKind::CommandButton:
      break;
  }
}

}  // namespace kelv::form
