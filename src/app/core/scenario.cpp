#include "app/core/scenario.h"

#include <cstdint>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "host/file_path.h"

namespace kelv::app {
namespace {

using json = nlohmann::ordered_json;

// Keys the runner reads, plus those the test harness and readers use.
const std::set<std::string> kTopLevelKeys = {"description", "workspace",  "host",
                                             "seed",        "initialize", "steps"};

[[noreturn]] void fail(size_t step, const std::string& what) {
  throw ScenarioError("场景第 " + std::to_string(step) + " 步：" + what);
}

host::Variant control_value(size_t step, const std::string& control, const json& v) {
  if (v.is_null()) return host::Variant::null();
  if (v.is_boolean()) return host::Variant(v.get<bool>());
  if (v.is_string()) return host::Variant(v.get<std::string>());
  if (v.is_number()) return host::Variant(v.get<double>());
  fail(step, "控件 " + control + " 的值须为文本、布尔值、数字或 null");
}

// The text argument of step n; `requirement` says what it must be.
std::string text_argument(size_t n, const json& arg, const char* requirement) {
  if (!arg.is_string()) fail(n, requirement);
  return arg.get<std::string>();
}

Step parse_step(size_t n, const json& s) {
  if (!s.is_object() || s.size() != 1) fail(n, "每一步须是只有一个键的对象");
  const std::string key = s.begin().key();
  const json& arg = s.begin().value();

  if (key == "set") {
    if (!arg.is_object() || arg.empty()) fail(n, "\"set\" 须是 {控件名: 值, ...}");
    SetStep step;
    for (auto it = arg.begin(); it != arg.end(); ++it)
      step.values.emplace_back(it.key(), control_value(n, it.key(), it.value()));
    return step;
  }
  if (key == "select") {
    if (!arg.is_object() || arg.size() != 1) fail(n, "\"select\" 须是 {列表名: 项文本或序号}");
    SelectStep step;
    step.list = arg.begin().key();
    const json& item = arg.begin().value();
    if (item.is_string()) {
      step.item = item.get<std::string>();
    } else if (item.is_number_integer() && item.get<int64_t>() >= 0 &&
               item.get<int64_t>() <= INT32_MAX) {
      step.item = static_cast<int32_t>(item.get<int64_t>());
    } else {
      fail(n, "\"select\" 的项须是文本或非负整数序号");
    }
    return step;
  }
  if (key == "page") return PageStep{text_argument(n, arg, "\"page\" 须是页名，如 \"Page1\"")};
  if (key == "answer") {
    if (!arg.is_array()) fail(n, "\"answer\" 须是数组");
    AnswerStep step;
    for (const json& a : arg) {
      if (a.is_null())
        step.answers.emplace_back(std::nullopt);
      else if (a.is_string())
        step.answers.emplace_back(a.get<std::string>());
      else
        fail(n, "\"answer\" 的每一项须是文本或 null");
    }
    return step;
  }
  if (key == "click") return ClickStep{text_argument(n, arg, "\"click\" 须是事件名")};
  if (key == "change") return ChangeStep{text_argument(n, arg, "\"change\" 须是控件名")};
  if (key == "check") {
    const std::string answer =
        text_argument(n, arg, "\"check\" 须是 \"continue\"、\"cancel\" 或 \"mend\"");
    if (answer != "continue" && answer != "cancel" && answer != "mend")
      fail(n, "\"check\" 须是 \"continue\"、\"cancel\" 或 \"mend\"");
    return CheckStep{answer};
  }
  if (key == "save") {
    if (!arg.is_array() || arg.empty())
      fail(n, "\"save\" 须是 [\"host\", \"data\"] 中的一项或两项");
    SaveStep step;
    for (const json& w : arg) {
      if (w == "host")
        step.host = true;
      else if (w == "data")
        step.data = true;
      else
        fail(n, "\"save\" 只认 \"host\" 和 \"data\"");
    }
    return step;
  }
  if (key == "external") {
    if (!arg.is_object() || !arg.contains("copy") || !arg.contains("to") || arg.size() != 2 ||
        !arg["copy"].is_string() || !arg["to"].is_string())
      fail(n, "\"external\" 须是 {\"copy\": 工作区中的文件, \"to\": 工作区中的文件}");
    return ExternalStep{arg["copy"].get<std::string>(), arg["to"].get<std::string>()};
  }
  fail(n, "不认识的步骤 \"" + key + "\"");
}

}  // namespace

Scenario parse_scenario(const json& document) {
  if (!document.is_object()) throw ScenarioError("场景须是一个 JSON 对象");
  for (auto it = document.begin(); it != document.end(); ++it)
    if (!kTopLevelKeys.count(it.key()))
      throw ScenarioError("场景中不认识的键 \"" + it.key() + "\"");

  Scenario scenario;
  if (document.contains("host")) {
    const json& h = document["host"];
    if (!h.is_string() || h.get<std::string>().empty())
      throw ScenarioError("\"host\" 须是工作区中宿主工作簿的文件名");
    scenario.host = h.get<std::string>();
  }
  if (document.contains("seed")) {
    const json& s = document["seed"];
    if (!s.is_number_unsigned() && !(s.is_number_integer() && s.get<int64_t>() >= 0))
      throw ScenarioError("\"seed\" 须是非负整数");
    scenario.seed = s.get<uint64_t>();
  }
  if (document.contains("initialize")) {
    if (!document["initialize"].is_boolean())
      throw ScenarioError("\"initialize\" 须是 true 或 false");
    scenario.initialize = document["initialize"].get<bool>();
  }
  if (document.contains("steps")) {
    const json& steps = document["steps"];
    if (!steps.is_array()) throw ScenarioError("\"steps\" 须是数组");
    for (size_t i = 0; i < steps.size(); ++i) scenario.steps.push_back(parse_step(i + 1, steps[i]));
  }
  return scenario;
}

Scenario parse_scenario_text(const std::string& text) {
  json document;
  try {
    document = json::parse(text);
  } catch (const json::parse_error& e) {
    throw ScenarioError(std::string("场景不是有效的 JSON：") + e.what());
  }
  return parse_scenario(document);
}

Scenario load_scenario_file(const std::string& path) {
  std::ifstream in(host::file_path(path), std::ios::binary);
  if (!in) throw ScenarioError("读不到场景文件：" + path);
  std::ostringstream text;
  text << in.rdbuf();
  try {
    return parse_scenario_text(text.str());
  } catch (const ScenarioError& e) {
    throw ScenarioError(path + "：" + e.what());
  }
}

bool names_control(const Scenario& scenario, std::string_view name) {
  for (const Step& step : scenario.steps) {
    if (const auto* set = std::get_if<SetStep>(&step)) {
      for (const auto& [control, value] : set->values)
        if (control == name) return true;
    } else if (const auto* select = std::get_if<SelectStep>(&step)) {
      if (select->list == name) return true;
    } else if (const auto* change = std::get_if<ChangeStep>(&step)) {
      if (change->control == name) return true;
    } else if (const auto* click = std::get_if<ClickStep>(&step)) {
      if (click->event.starts_with(name)) return true;
    }
  }
  return false;
}

}  // namespace kelv::app
