// The form's controls as widgets: the page control MultiPage1 with its
// pages "Page0" (arrangement) and "Page1" (tables), and the help button.
// Every widget carries its control's name as object name and mirrors one
// control of a host::FormModel. Changes the component makes to the model
// reach the widgets through the model's listener; what the person does
// reaches the model first and then the event sinks: clicks, list clicks and
// page changes by event name, setting changes by control name.
#pragma once

#include <QHash>
#include <QWidget>
#include <functional>
#include <string>

#include "host/form_model.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace kelv::form {

class FormPanel : public QWidget {
 public:
  using Sink = std::function<void(const std::string& name)>;

  explicit FormPanel(QWidget* parent = nullptr);
  ~FormPanel() override;

  // Mirrors `model` (null: none). Installs the panel as the model's
  // listener and copies every control's state into its widget.
  void bind(host::FormModel* model);
  host::FormModel* model() const { return model_; }

  // "LtbBiaoClick", "MultiPage1Change", "MyHelp", ...
  void on_click(Sink sink) { click_ = std::move(sink); }
  // "TxtHang", "OptSJKaoHao", ...
  void on_set(Sink sink) { set_ = std::move(sink); }

  // While blocked (the component is at work) the person's input reaches
  // neither the model nor the sinks.
  void set_blocked(bool blocked) { blocked_ = blocked; }

  // The widget of a control ("LtbBiao") or of "MyHelp"; null when unknown.
  QWidget* widget(const QString& name) const { return widgets_.value(name, nullptr); }

  // Copies the model's state of one control, or of all, into the widgets.
  // A page of the window's own after the component's two; choosing it
  // sends no event.
  void add_page(QWidget* page, const QString& title);

  void sync(const host::Control& control);
  void sync_all();

 private:
  void build();
  QWidget* build_arrangement_page();
  QWidget* build_tables_page();
  // A widget for control `name`, registered under it and wired so that what
  // the person does reaches the control.
  template <class W>
  W* named(W* w, const char* name);
  QLineEdit* make_line(const char* name);
  QComboBox* make_combo(const char* name);
  QListWidget* make_list(const char* name);
  QPushButton* make_button(const char* name, const char* text);
  QRadioButton* make_option(const char* name, const char* text);
  QCheckBox* make_check(const char* name, const char* text);
  QLabel* make_label(const char* text);
  // The control a person's change to widget `name` goes to; null while the
  // panel copies the model, when there is no such control, or while blocked
  // (the widget then shows the control's state again).
  host::Control* accepting(const char* name);
  // Sets the control to what the person entered and tells the setting sink.
  void user_value(host::Control& c, const host::Variant& value);
  void user_click(const std::string& event);
  void user_set(const std::string& control);
  host::Control* control(const QString& name) const;

  host::FormModel* model_ = nullptr;
  QHash<QString, QWidget*> widgets_;
  QTabWidget* pages_ = nullptr;
  Sink click_, set_;
  bool blocked_ = false;
  int syncing_ = 0;  // > 0 while model state is being copied into widgets
};

}  // namespace kelv::form
