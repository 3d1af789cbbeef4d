// A scenario: what a person does at the form, written down as JSON so the
// scenario runner can play it. Parsing checks the whole file before anything
// runs, so a malformed scenario never half-runs.
#pragma once

#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "app/core/workspace_folder.h"
#include "host/variant.h"

namespace kelv::app {

// A scenario file that cannot be played as written, or a step the form
// cannot take. The message is for the person who wrote the scenario; a
// front end catches it with every other WorkspaceError.
class ScenarioError : public WorkspaceError {
 public:
  explicit ScenarioError(const std::string& message)
      : WorkspaceError(WorkspaceError::Kind::Scenario, message) {}
};

struct SetStep {
  std::vector<std::pair<std::string, host::Variant>> values;  // in file order
};
struct SelectStep {
  std::string list;
  std::variant<std::string, int32_t> item;  // item text or index
};
struct PageStep {
  std::string page;
};
struct AnswerStep {
  std::vector<std::optional<std::string>> answers;  // nullopt: Cancel
};
struct ClickStep {
  std::string event;
};
// The answer to the next check before the work: "continue" (also what an
// unanswered check does), "cancel" or "mend".
struct CheckStep {
  std::string answer;
};
struct ChangeStep {
  std::string control;
};
struct SaveStep {
  bool host = false;
  bool data = false;
};
// Another program writes a file of the workspace while kelv has it open:
// `from` is copied over `to` (both relative to the workspace).
struct ExternalStep {
  std::string from;
  std::string to;
};

using Step = std::variant<SetStep, SelectStep, PageStep, AnswerStep, ClickStep, ChangeStep,
                          SaveStep, ExternalStep, CheckStep>;

struct Scenario {
  std::optional<std::string> host;  // host workbook file name inside the workspace
  std::optional<uint64_t> seed;     // fixed random sequence
  bool initialize = true;           // send "UserFormInitialize" first
  std::vector<Step> steps;
};

// True when a step sets, selects, changes or clicks the control `name`.
bool names_control(const Scenario& scenario, std::string_view name);

// Throws ScenarioError naming the key or the step (counted from 1).
Scenario parse_scenario(const nlohmann::ordered_json& document);
Scenario parse_scenario_text(const std::string& text);
Scenario load_scenario_file(const std::string& path);

}  // namespace kelv::app
