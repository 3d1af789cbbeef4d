// The scenario runner: plays a scenario on the form against one torb and
// writes the transcript. `kelv run` is a thin shell around run_scenario.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/scenario.h"
#include "app/core/session.h"
#include "app/core/transcript.h"
#include "bridge/torb.h"
#include "host/application.h"
#include "host/form_model.h"
#include "host/recording_dialogs.h"
#include "spreadsheet/engine.h"

namespace kelv::app {

// What one run plays on: the application with its host workbook open, the
// form, the dialog layer the torb was created with, and the transcript.
struct Stage {
  host::Application& EA;
  host::FormModel& UF;
  host::RecordingDialogs& dialogs;
  bridge::torb& component;
  Transcript& transcript;
  // The form as the component sees it, when not UF itself (the same form
  // reached through automation).
  host::Form* component_form = nullptr;
  host::Form& form_for_component() { return component_form ? *component_form : UF; }
  // With a session, saves keep backups and never overwrite a file another
  // program changed, a click on a data workbook changed elsewhere asks
  // first, and `workspace` is the folder "external" steps write into.
  Session* session = nullptr;
  std::string workspace = "";
};

// Sends "UserFormInitialize" unless the scenario says not to, plays the steps
// in order and ends the transcript with the form. A click on a disabled
// command button is written down and not sent. Error boxes and MyFunSet
// failures are part of a normal run. Throws ScenarioError, naming the step,
// for a step the form cannot take (a missing control or list item) or a
// workbook that cannot be saved.
void play_scenario(const Scenario& scenario, Stage& stage);

// What a person does at the form, for the scenario runner and the terminal
// alike. Each throws ScenarioError saying what the form lacks or refuses.
//
// A "XxxClick" event of a command button fires only while the button is
// enabled, as on a real form: true when `event` comes from a disabled one.
bool from_disabled_button(const host::FormModel& form, std::string_view event);
// Sets a control's value (not a command button's).
void set_control(host::FormModel& form, const std::string& name, const host::Variant& value);
// Selects a list item by its text or its index.
void select_item(host::FormModel& form, const SelectStep& step);
// Shows page "Page0" or "Page1" of MultiPage1.
void select_page(host::FormModel& form, const std::string& page);
// The workbooks a save writes: the host workbook, then the data workbooks
// the component opened.
std::vector<host::Workbook*> workbooks_to_save(host::Application& EA, const SaveStep& step);

// kelv run: loads the scenario, opens the workspace's host workbook in the
// embedded spreadsheet, plays the scenario and writes the transcript to
// `transcript_path` (standard output when empty). Throws ScenarioError for a
// malformed scenario, a missing workspace or an unreadable host workbook.
// With `through_automation` (Windows only) the component reaches the
// application and the form only through IDispatch: kelv.Application's and
// kelv.Form's automation face, called by the host interfaces over IDispatch.
void run_scenario(const std::string& workspace, const std::string& scenario_path,
                  const std::string& transcript_path, bool through_automation = false);

}  // namespace kelv::app
