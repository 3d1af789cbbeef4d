// The user form the component talks to (the UF object): named controls of a
// few kinds, reached by name. Form is the interface; FormModel (form_model.h)
// is the plain model that both front ends bind to.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/variant.h"

namespace kelv::host {

enum class ControlKind {
  TextBox,
  ComboBox,
  ListBox,
  CheckBox,
  OptionButton,
  CommandButton,
  MultiPage
};

// One control. A member the control's kind does not have fails with
// kInvalidArgument and changes nothing.
class Control {
 public:
  virtual ~Control() = default;
  virtual const std::string& name() const = 0;
  virtual ControlKind kind() const = 0;

  // Value: text box and combo box text; list box selected item text (Null
  // when nothing is selected); check box True/False/Null; option button
  // True/False; page control the selected page's index.
  virtual Variant value() const = 0;
  // Setting: text boxes and combo boxes store the text conversion; a list
  // box selects the item with that text; a check box takes a Boolean or
  // Null; an option button True clears its partner.
  virtual void set_value(const Variant& v) = 0;

  // Lists (list box, combo box). clear() empties the list and the selection;
  // add_item appends the item's text. Indexes are 0-based; -1 is no
  // selection. set_list_index fails with kInvalidArgument outside
  // -1..list_count() - 1, set_selected outside 0..list_count() - 1; both
  // keep the selection then.
  virtual void clear() = 0;
  virtual void add_item(const Variant& item) = 0;
  virtual int32_t list_count() const = 0;
  virtual int32_t list_index() const = 0;
  virtual void set_list_index(int32_t index) = 0;
  virtual void set_selected(int32_t index, bool selected) = 0;
  virtual const std::vector<std::string>& items() const = 0;

  // Command buttons.
  virtual bool enabled() const = 0;
  virtual void set_enabled(bool on) = 0;

  // Page control (MultiPage1): SelectedItem.Name; setting a page the
  // control lacks fails with kInvalidArgument.
  virtual std::string selected_page() const = 0;
  virtual void set_selected_page(std::string_view page_name) = 0;
};

class Form {
 public:
  virtual ~Form() = default;
  // The form's title bar text; setting it never fails and changes nothing
  // else.
  virtual std::string caption() const = 0;
  virtual void set_caption(std::string_view caption) = 0;
  // UF.Controls(name) / UF.NAME; kSubscriptOutOfRange for a name the form
  // lacks.
  virtual Control& control(std::string_view name) = 0;
  Control& operator[](std::string_view name) { return control(name); }
};

}  // namespace kelv::host
