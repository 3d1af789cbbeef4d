// The plain form model: the controls the component names, with their values,
// lists and states. The scenario runner plays it directly; the desktop form
// binds its widgets to it and listens for changes.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/form.h"

namespace kelv::host {

class FormModel : public Form {
 public:
  // Called after any change of a control's value, list, selection, enabled
  // state or page, whoever made it.
  using Listener = std::function<void(const Control&)>;

  // Which of the controls added after the component's own a form has.
  // Without: none, the form as it was before them, on which the component
  // runs exactly as it did then. SeatingOnly: the seating controls
  // TxtZhongZi (随机种子) and CmbFenKai (同组不相邻) on "Page0". With: those
  // and the seat-map controls, ChbABJuan (AB 卷) on "Page0" and ChbZuoWei
  // (按座位排列) on "Page1".
  enum class SeatingControls { Without, SeatingOnly, With };

  FormModel() = default;
  // The component's form: every control it names, on pages "Page0" and
  // "Page1", buttons CmdDoKaoHao and CmdDoYongBiao disabled, check boxes
  // False, option pairs with the first button chosen.
  static std::unique_ptr<FormModel> standard_form(SeatingControls seating = SeatingControls::With);

  Control& add_control(std::string name, ControlKind kind, std::string option_group = "");

  std::string caption() const override { return caption_; }
  void set_caption(std::string_view caption) override;
  Control& control(std::string_view name) override;
  bool has_control(std::string_view name) const;
  // Controls in the order they were added.
  std::vector<const Control*> controls() const;

  void set_listener(Listener l) { listener_ = std::move(l); }

  // Internal: controls report their changes through this.
  void notify(const Control& c) const {
    if (listener_) listener_(c);
  }
  // Internal: clears the other option buttons of a group.
  void option_chosen(const Control& chosen, const std::string& group);

 private:
  std::string caption_ = "kelv 考务";
  std::vector<std::unique_ptr<Control>> order_;
  std::map<std::string, Control*, std::less<>> by_name_;
  Listener listener_;
};

}  // namespace kelv::host
