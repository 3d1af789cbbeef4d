// The window's page for the exam as a whole (场次编排, 监考安排): kelv's own work on
// the open data workbook, beside the component's pages. The page holds
// widgets only; what a button does is the window's (through the workspace).
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace kelv::form {

class ExamPage : public QWidget {
 public:
  explicit ExamPage(QWidget* parent = nullptr);

  // 编排场次 with the seed typed in (none when the box is empty).
  void on_arrange(std::function<void(std::optional<uint64_t> seed)> sink) {
    arrange_ = std::move(sink);
  }
  void on_suggest(std::function<void()> sink) { suggest_ = std::move(sink); }
  // 安排监考 with the seed typed in and whether the rota starts afresh.
  void on_invigilate(std::function<void(std::optional<uint64_t> seed, bool fresh)> sink) {
    invigilate_ = std::move(sink);
  }
  // The person switched a rule: own subject, own classes.
  void on_rules(std::function<void(bool own_subject, bool own_classes)> sink) {
    rules_ = std::move(sink);
  }
  // Shows the stored rules without reporting them.
  void show_rules(bool own_subject, bool own_classes);
  // The person ticked or cleared the keep-combinations box.
  void on_keep_combinations(std::function<void(bool)> sink) { keep_ = std::move(sink); }

  // With no data workbook open the buttons wait.
  void set_ready(bool ready);
  // Shows the stored setting without reporting it.
  void show_keep_combinations(bool keep);

  QPushButton* arrange_button() const { return arrange_button_; }
  QPushButton* suggest_button() const { return suggest_button_; }
  QLineEdit* seed_box() const { return seed_; }
  QCheckBox* keep_box() const { return keep_box_; }
  QPushButton* invigilate_button() const { return invigilate_button_; }
  QCheckBox* own_subject_box() const { return own_subject_; }
  QCheckBox* own_classes_box() const { return own_classes_; }
  QCheckBox* fresh_box() const { return fresh_; }

 private:
  void arrange_clicked();
  // The seed typed into `box`: none when empty; false (after saying why)
  // when it is no seed.
  bool read_seed(QLineEdit* box, std::optional<uint64_t>& seed);

  QLineEdit* seed_ = nullptr;
  QCheckBox* keep_box_ = nullptr;
  QPushButton* suggest_button_ = nullptr;
  QPushButton* arrange_button_ = nullptr;
  QLineEdit* rota_seed_ = nullptr;
  QCheckBox* own_subject_ = nullptr;
  QCheckBox* own_classes_ = nullptr;
  QCheckBox* fresh_ = nullptr;
  QPushButton* invigilate_button_ = nullptr;
  std::function<void(std::optional<uint64_t>, bool)> invigilate_;
  std::function<void(bool, bool)> rules_;
  std::function<void(std::optional<uint64_t>)> arrange_;
  std::function<void()> suggest_;
  std::function<void(bool)> keep_;
};

}  // namespace kelv::form
