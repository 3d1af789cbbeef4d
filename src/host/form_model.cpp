#include "host/form_model.h"

#include "host/host_error.h"

namespace kelv::host {
namespace {

class ModelControl : public Control {
 public:
  ModelControl(FormModel& form, std::string name, ControlKind kind, std::string group)
      : form_(form), name_(std::move(name)), kind_(kind), group_(std::move(group)) {
    if (kind_ == ControlKind::CheckBox || kind_ == ControlKind::OptionButton) value_ = false;
    if (kind_ == ControlKind::TextBox || kind_ == ControlKind::ComboBox) value_ = std::string();
  }

  const std::string& name() const override { return name_; }
  ControlKind kind() const override { return kind_; }

  Variant value() const override {
    switch (kind_) {
      case ControlKind::ListBox:
        return index_ >= 0 ? Variant(items_[index_]) : Variant::null();
      case ControlKind::MultiPage:
        return Variant(page_ == "Page1" ? 1 : 0);
      default:
        return value_;
    }
  }

  void set_value(const Variant& v) override {
    switch (kind_) {
      case ControlKind::TextBox:
      case ControlKind::ComboBox:
        value_ = v.is_null() ? std::string() : v.to_text();
        if (kind_ == ControlKind::ComboBox) {
          index_ = -1;
          for (size_t i = 0; i < items_.size(); ++i)
            if (items_[i] == value_.as_text()) {
              index_ = static_cast<int32_t>(i);
              break;
            }
        }
        break;
      case ControlKind::ListBox: {
        int32_t found = -1;
        if (!v.is_null()) {
          const std::string t = v.to_text();
          for (size_t i = 0; i < items_.size(); ++i)
            if (items_[i] == t) {
              found = static_cast<int32_t>(i);
              break;
            }
        }
        index_ = found;
        break;
      }
      case ControlKind::CheckBox:
        value_ = v.is_null() ? Variant::null() : Variant(v.to_bool());
        break;
      case ControlKind::OptionButton:
        value_ = Variant(v.to_bool());
        if (value_.as_bool()) form_.option_chosen(*this, group_);
        break;
      case ControlKind::MultiPage:
        page_ = v.to_int32() == 1 ? "Page1" : "Page0";
        break;
      case ControlKind::CommandButton:
        throw HostError::host(kInvalidArgument);
    }
    form_.notify(*this);
  }

  void clear() override {
    require_list();
    items_.clear();
    index_ = -1;
    form_.notify(*this);
  }
  void add_item(const Variant& item) override {
    require_list();
    items_.push_back(item.is_null() ? std::string() : item.to_text());
    form_.notify(*this);
  }
  int32_t list_count() const override {
    require_list();
    return static_cast<int32_t>(items_.size());
  }
  int32_t list_index() const override {
    require_list();
    return index_;
  }
  void set_list_index(int32_t index) override {
    require_list();
    if (index < -1 || index >= static_cast<int32_t>(items_.size()))
      throw HostError::host(kInvalidArgument, "列表索引无效");
    index_ = index;
    if (kind_ == ControlKind::ComboBox) value_ = index >= 0 ? items_[index] : std::string();
    form_.notify(*this);
  }
  void set_selected(int32_t index, bool selected) override {
    require_list();
    if (index < 0 || index >= static_cast<int32_t>(items_.size()))
      throw HostError::host(kInvalidArgument, "列表索引无效");
    if (selected) {
      set_list_index(index);
    } else if (index_ == index) {
      set_list_index(-1);
    }
  }
  const std::vector<std::string>& items() const override { return items_; }

  bool enabled() const override { return enabled_; }
  void set_enabled(bool on) override {
    enabled_ = on;
    form_.notify(*this);
  }

  std::string selected_page() const override {
    if (kind_ != ControlKind::MultiPage) throw HostError::host(kInvalidArgument);
    return page_;
  }
  void set_selected_page(std::string_view page_name) override {
    if (kind_ != ControlKind::MultiPage) throw HostError::host(kInvalidArgument);
    if (page_name != "Page0" && page_name != "Page1") throw HostError::host(kInvalidArgument);
    page_ = std::string(page_name);
    form_.notify(*this);
  }

  void unchoose() {
    value_ = false;
    form_.notify(*this);
  }
  const std::string& group() const { return group_; }

 private:
  void require_list() const {
    if (kind_ != ControlKind::ListBox && kind_ != ControlKind::ComboBox)
      throw HostError::host(kInvalidArgument);
  }

  FormModel& form_;
  std::string name_;
  ControlKind kind_;
  std::string group_;
  Variant value_;
  std::vector<std::string> items_;
  int32_t index_ = -1;
  bool enabled_ = true;
  std::string page_ = "Page0";
};

}  // namespace

Control& FormModel::add_control(std::string name, ControlKind kind, std::string option_group) {
  auto c = std::make_unique<ModelControl>(*this, name, kind, std::move(option_group));
  Control* raw = c.get();
  order_.push_back(std::move(c));
  by_name_[std::move(name)] = raw;
  return *raw;
}

void FormModel::set_caption(std::string_view caption) {
  caption_ = std::string(caption);
}

Control& FormModel::control(std::string_view name) {
  auto it = by_name_.find(name);
  if (it == by_name_.end())
    throw HostError::host(kSubscriptOutOfRange, "找不到控件“" + std::string(name) + "”");
  return *it->second;
}

bool FormModel::has_control(std::string_view name) const {
  return by_name_.count(name) != 0;
}

std::vector<const Control*> FormModel::controls() const {
  std::vector<const Control*> out;
  for (const auto& c : order_) out.push_back(c.get());
  return out;
}

void FormModel::option_chosen(const Control& chosen, const std::string& group) {
  if (group.empty()) return;
  for (auto& c : order_) {
    auto* m = static_cast<ModelControl*>(c.get());
    if (m != &chosen && m->kind() == ControlKind::OptionButton && m->group() == group &&
        m->value().as_bool())
      m->unchoose();
  }
}

std::unique_ptr<FormModel> FormModel::standard_form(SeatingControls seating) {
  auto f = std::make_unique<FormModel>();
  f->add_control("MultiPage1", ControlKind::MultiPage);
  // Page0: arrangement
  f->add_control("LtbBiao", ControlKind::ListBox);
  f->add_control("TxtSKHao", ControlKind::TextBox);
  f->add_control("TxtXHShu", ControlKind::TextBox);
  f->add_control("OptSXKaoHao", ControlKind::OptionButton, "KaoHao").set_value(true);
  f->add_control("OptSJKaoHao", ControlKind::OptionButton, "KaoHao");
  f->add_control("OptXHZuoHao", ControlKind::OptionButton, "ZuoHao").set_value(true);
  f->add_control("OptACZuoHao", ControlKind::OptionButton, "ZuoHao");
  if (seating != SeatingControls::Without) {
    f->add_control("TxtZhongZi", ControlKind::TextBox);
    f->add_control("CmbFenKai", ControlKind::ComboBox);
  }
  if (seating == SeatingControls::With) f->add_control("ChbABJuan", ControlKind::CheckBox);
  f->add_control("CmdDoKaoHao", ControlKind::CommandButton).set_enabled(false);
  // Page1: tables
  f->add_control("LtbMoBan", ControlKind::ListBox);
  f->add_control("CmdAddMB", ControlKind::CommandButton);
  f->add_control("CmdDelMB", ControlKind::CommandButton);
  f->add_control("CmdEditMB", ControlKind::CommandButton);
  f->add_control("TxtHang", ControlKind::TextBox);
  f->add_control("TxtLie", ControlKind::TextBox);
  f->add_control("TxtHJv", ControlKind::TextBox);
  f->add_control("TxtLJv", ControlKind::TextBox);
  f->add_control("CmbPaiXv", ControlKind::ComboBox);
  f->add_control("CmbHuanYe", ControlKind::ComboBox);
  f->add_control("ChbHengPai", ControlKind::CheckBox);
  f->add_control("ChbSJYuan", ControlKind::CheckBox);
  if (seating == SeatingControls::With) f->add_control("ChbZuoWei", ControlKind::CheckBox);
  f->add_control("CmdDoYongBiao", ControlKind::CommandButton).set_enabled(false);
  return f;
}

}  // namespace kelv::host
