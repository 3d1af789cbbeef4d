// The scenario runner: plays a scenario on the workspace's form, through
// the same road every front end takes (the workspace's click with its gate
// and check, its guarded save), and writes the transcript. `kelv run` is a
// thin shell around run_scenario.
#pragma once

#include <string>
#include <vector>

#include "app/core/scenario.h"
#include "app/core/transcript.h"
#include "app/core/workspace.h"
#include "host/form_model.h"
#include "host/recording_dialogs.h"

namespace kelv::app {

// What one run plays on: the open workspace, the dialog layer its torb was
// created with, and the transcript.
struct Stage {
  Workspace& workspace;
  host::RecordingDialogs& dialogs;
  Transcript& transcript;
};

// Sends "UserFormInitialize" unless the scenario says not to, plays the steps
// in order and ends the transcript with the form. A click on a disabled
// command button is written down and not sent. Before assignment and
// generation the check runs; its findings are written down with the answer
// the scenario queued ({"check": ...}, else continue). A list the component
// refused that can become a data workbook is offered in a message box.
// Error boxes and MyFunSet failures are part of a normal run. Throws
// ScenarioError, naming the step, for a step the form cannot take (a
// missing control or list item) or a workbook that cannot be saved.
void play_scenario(const Scenario& scenario, Stage& stage);

// What a person does at the form, for the scenario runner and the terminal
// alike. Each throws ScenarioError saying what the form lacks or refuses.
//
// Sets a control's value (not a command button's).
void set_control(host::FormModel& form, const std::string& name, const host::Variant& value);
// Selects a list item by its text or its index.
void select_item(host::FormModel& form, const SelectStep& step);
// Shows page "Page0" or "Page1" of MultiPage1.
void select_page(host::FormModel& form, const std::string& page);
// The workbooks a save writes: the host workbook, then the data workbooks
// the component opened.
std::vector<host::Workbook*> workbooks_to_save(host::Application& EA, const SaveStep& step);

// kelv run: loads the scenario, opens the workspace, plays the scenario
// and writes the transcript to `transcript_path` (standard output when
// empty). Throws WorkspaceError for a malformed scenario, a missing
// workspace or an unreadable host workbook. With `through_automation`
// (Windows only) the component reaches the application and the form only
// through IDispatch: kelv.Application's and kelv.Form's automation face,
// called by the host interfaces over IDispatch.
void run_scenario(const std::string& workspace, const std::string& scenario_path,
                  const std::string& transcript_path, bool through_automation = false);

}  // namespace kelv::app
