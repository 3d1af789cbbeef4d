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

#include "host/variant.h"

namespace kelv::app {

// A scenario file that cannot be played as written, or a workspace that is
// not there. The message is for the person who wrote the scenario.
class ScenarioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
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
                          SaveStep, ExternalStep>;

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
