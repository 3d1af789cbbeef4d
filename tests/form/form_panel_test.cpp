// The widgets mirror the form model both ways, and the person's actions
// reach the sinks once each, by event or control name.
#include "app/form/form_panel.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <string>
#include <vector>

#include "host/form_model.h"

namespace kelv::form {
namespace {

class FormPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    model = host::FormModel::standard_form();
    panel.bind(model.get());
    panel.on_click([this](const std::string& e) { clicks.push_back(e); });
    panel.on_set([this](const std::string& c) { sets.push_back(c); });
    panel.show();
  }
  template <typename W>
  W* w(const char* name) {
    auto* widget = qobject_cast<W*>(panel.widget(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  host::Control& c(const char* name) { return model->control(name); }

  std::unique_ptr<host::FormModel> model;
  FormPanel panel;
  std::vector<std::string> clicks, sets;
};

TEST_F(FormPanelTest, EveryControlTheComponentNamesHasItsWidget) {
  for (const host::Control* control : model->controls())
    EXPECT_NE(panel.widget(QString::fromStdString(control->name())), nullptr) << control->name();
  EXPECT_NE(panel.widget("MyHelp"), nullptr);
  auto* pages = w<QTabWidget>("MultiPage1");
  EXPECT_EQ(pages->widget(0)->objectName(), "Page0");
  EXPECT_EQ(pages->widget(1)->objectName(), "Page1");
}

TEST_F(FormPanelTest, ModelChangesReachTheWidgetsWithoutFiringEvents) {
  c("TxtSKHao").set_value(20240001);
  c("LtbBiao").add_item("初一.xlsx");
  c("LtbBiao").add_item("初二.xlsx");
  c("LtbBiao").set_list_index(1);
  c("CmbPaiXv").add_item("无");
  c("CmbPaiXv").add_item("班级");
  c("CmbPaiXv").set_value("班级");
  c("OptSJKaoHao").set_value(true);
  c("ChbSJYuan").set_value(host::Variant::null());
  c("ChbHengPai").set_value(true);
  c("CmdDoKaoHao").set_enabled(true);
  c("MultiPage1").set_selected_page("Page1");

  EXPECT_EQ(w<QLineEdit>("TxtSKHao")->text(), "20240001");
  EXPECT_EQ(w<QListWidget>("LtbBiao")->count(), 2);
  EXPECT_EQ(w<QListWidget>("LtbBiao")->currentRow(), 1);
  EXPECT_EQ(w<QComboBox>("CmbPaiXv")->currentText(), "班级");
  EXPECT_TRUE(w<QRadioButton>("OptSJKaoHao")->isChecked());
  EXPECT_FALSE(w<QRadioButton>("OptSXKaoHao")->isChecked());
  EXPECT_EQ(w<QCheckBox>("ChbSJYuan")->checkState(), Qt::PartiallyChecked);
  EXPECT_EQ(w<QCheckBox>("ChbHengPai")->checkState(), Qt::Checked);
  EXPECT_TRUE(w<QPushButton>("CmdDoKaoHao")->isEnabled());
  EXPECT_EQ(w<QTabWidget>("MultiPage1")->currentIndex(), 1);
  EXPECT_TRUE(clicks.empty());
  EXPECT_TRUE(sets.empty());
}

TEST_F(FormPanelTest, ButtonsStayDisabledUntilTheComponentEnablesThem) {
  auto* go = w<QPushButton>("CmdDoYongBiao");
  EXPECT_FALSE(go->isEnabled());
  QTest::mouseClick(go, Qt::LeftButton);
  EXPECT_TRUE(clicks.empty());
  c("CmdDoYongBiao").set_enabled(true);
  QTest::mouseClick(go, Qt::LeftButton);
  EXPECT_EQ(clicks, std::vector<std::string>{"CmdDoYongBiaoClick"});
}

TEST_F(FormPanelTest, TextBoxesReportWhenEditingFinishesAndOnlyAfterAChange) {
  auto* edit = w<QLineEdit>("TxtHang");
  QTest::keyClicks(edit, "500");
  EXPECT_TRUE(sets.empty());  // not while typing
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(sets, std::vector<std::string>{"TxtHang"});
  EXPECT_EQ(c("TxtHang").value().to_text(), "500");
  QTest::keyClick(edit, Qt::Key_Return);  // nothing changed since
  EXPECT_EQ(sets.size(), 1u);
}

TEST_F(FormPanelTest, AValueTheComponentWritesBackDuringTheEventIsShownAndNotReported) {
  // Like a layout count clamped by its writer.
  panel.on_set([this](const std::string& name) {
    sets.push_back(name);
    c("TxtHang").set_value(300);
  });
  auto* edit = w<QLineEdit>("TxtHang");
  QTest::keyClicks(edit, "500");
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(edit->text(), "300");
  EXPECT_EQ(sets, std::vector<std::string>{"TxtHang"});
}

TEST_F(FormPanelTest, ListClicksAndPageChangesAreEvents) {
  c("LtbMoBan").add_item("门贴");
  c("LtbMoBan").add_item("座签");
  w<QListWidget>("LtbMoBan")->setCurrentRow(1);
  EXPECT_EQ(c("LtbMoBan").list_index(), 1);
  w<QTabWidget>("MultiPage1")->setCurrentIndex(1);
  EXPECT_EQ(c("MultiPage1").selected_page(), "Page1");
  QTest::mouseClick(w<QPushButton>("MyHelp"), Qt::LeftButton);
  EXPECT_EQ(clicks, (std::vector<std::string>{"LtbMoBanClick", "MultiPage1Change", "MyHelp"}));
}

TEST_F(FormPanelTest, OptionButtonsKeepTheirPairExclusiveAndReportTheChosenOne) {
  auto* sj = w<QRadioButton>("OptSJKaoHao");
  auto* sx = w<QRadioButton>("OptSXKaoHao");
  sj->click();
  EXPECT_TRUE(c("OptSJKaoHao").value().as_bool());
  EXPECT_FALSE(c("OptSXKaoHao").value().as_bool());
  EXPECT_FALSE(sx->isChecked());
  sj->click();  // clicking the chosen button keeps it chosen, reports nothing
  EXPECT_TRUE(sj->isChecked());
  EXPECT_EQ(sets, std::vector<std::string>{"OptSJKaoHao"});
}

TEST_F(FormPanelTest, ANullCheckBoxTurnsTrueOrFalseOnClick) {
  c("ChbSJYuan").set_value(host::Variant::null());
  auto* box = w<QCheckBox>("ChbSJYuan");
  box->click();
  EXPECT_EQ(c("ChbSJYuan").value(), host::Variant(true));
  box->click();
  EXPECT_EQ(c("ChbSJYuan").value(), host::Variant(false));
  EXPECT_EQ(box->checkState(), Qt::Unchecked);
  EXPECT_EQ(sets, (std::vector<std::string>{"ChbSJYuan", "ChbSJYuan"}));
}

TEST_F(FormPanelTest, ComboBoxesReportAPickFromTheList) {
  c("CmbHuanYe").add_item("无");
  c("CmbHuanYe").add_item("考场");
  auto* box = w<QComboBox>("CmbHuanYe");
  box->setCurrentIndex(1);
  emit box->activated(1);
  EXPECT_EQ(c("CmbHuanYe").value().to_text(), "考场");
  EXPECT_EQ(sets, std::vector<std::string>{"CmbHuanYe"});
}

TEST_F(FormPanelTest, WhileBlockedThePersonsInputReachesNeitherModelNorSinks) {
  c("LtbBiao").add_item("初一.xlsx");
  panel.set_blocked(true);
  const host::Variant rows = c("TxtHang").value(), source = c("ChbSJYuan").value();
  w<QListWidget>("LtbBiao")->setCurrentRow(0);
  w<QRadioButton>("OptACZuoHao")->click();
  auto* edit = w<QLineEdit>("TxtHang");
  QTest::keyClicks(edit, "500");
  QTest::keyClick(edit, Qt::Key_Return);
  w<QCheckBox>("ChbSJYuan")->click();
  w<QTabWidget>("MultiPage1")->setCurrentIndex(1);
  // Each widget shows its control's state again.
  EXPECT_EQ(c("TxtHang").value(), rows);
  EXPECT_EQ(edit->text(), QString::fromStdString(rows.to_text()));
  EXPECT_EQ(c("ChbSJYuan").value(), source);
  EXPECT_EQ(w<QCheckBox>("ChbSJYuan")->checkState(),
            source.to_bool() ? Qt::Checked : Qt::Unchecked);
  EXPECT_EQ(c("MultiPage1").selected_page(), "Page0");
  EXPECT_EQ(w<QTabWidget>("MultiPage1")->currentIndex(), 0);
  EXPECT_EQ(c("LtbBiao").list_index(), -1);
  EXPECT_EQ(w<QListWidget>("LtbBiao")->currentRow(), -1);
  EXPECT_FALSE(c("OptACZuoHao").value().as_bool());
  EXPECT_FALSE(w<QRadioButton>("OptACZuoHao")->isChecked());
  EXPECT_TRUE(clicks.empty());
  EXPECT_TRUE(sets.empty());
}

TEST_F(FormPanelTest, RebindingShowsTheNewModelAndLeavesTheOldOneAlone) {
  auto other = host::FormModel::standard_form();
  other->control("TxtLie").set_value("3");
  panel.bind(other.get());
  EXPECT_EQ(w<QLineEdit>("TxtLie")->text(), "3");
  c("TxtLie").set_value("9");  // the old model no longer reaches the widgets
  EXPECT_EQ(w<QLineEdit>("TxtLie")->text(), "3");
  panel.bind(nullptr);
  EXPECT_FALSE(w<QLineEdit>("TxtLie")->isEnabled());
}

}  // namespace
}  // namespace kelv::form
