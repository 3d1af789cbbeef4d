#include "app/core/scenario.h"

#include <gtest/gtest.h>

#include <string>

namespace kelv::app {
namespace {

TEST(ScenarioTest, ReadsEveryKindOfStepInOrder) {
  const Scenario s = parse_scenario_text(R"({
    "description": "all steps", "workspace": "../w", "host": "考务.xlsm", "seed": 7,
    "initialize": false,
    "steps": [
      {"set": {"TxtSKHao": "0001", "ChbHengPai": null, "ChbSJYuan": true, "TxtHang": 3}},
      {"select": {"LtbBiao": "初一.xlsx"}},
      {"select": {"LtbMoBan": 2}},
      {"page": "Page1"},
      {"answer": ["Yes", null, "新模板"]},
      {"click": "LtbBiaoClick"},
      {"change": "TxtHang"},
      {"save": ["data", "host"]}
    ]})");
  EXPECT_EQ(s.host, "考务.xlsm");
  EXPECT_EQ(s.seed, 7u);
  EXPECT_FALSE(s.initialize);
  ASSERT_EQ(s.steps.size(), 8u);

  const auto& set = std::get<SetStep>(s.steps[0]);
  ASSERT_EQ(set.values.size(), 4u);
  EXPECT_EQ(set.values[0].first, "TxtSKHao");
  EXPECT_EQ(set.values[0].second, host::Variant("0001"));
  EXPECT_TRUE(set.values[1].second.is_null());
  EXPECT_EQ(set.values[2].second, host::Variant(true));
  EXPECT_EQ(set.values[3].second, host::Variant(3.0));
  EXPECT_EQ(std::get<std::string>(std::get<SelectStep>(s.steps[1]).item), "初一.xlsx");
  EXPECT_EQ(std::get<int32_t>(std::get<SelectStep>(s.steps[2]).item), 2);
  EXPECT_EQ(std::get<PageStep>(s.steps[3]).page, "Page1");
  const auto& answers = std::get<AnswerStep>(s.steps[4]).answers;
  ASSERT_EQ(answers.size(), 3u);
  EXPECT_EQ(answers[0], "Yes");
  EXPECT_FALSE(answers[1].has_value());
  EXPECT_EQ(std::get<ClickStep>(s.steps[5]).event, "LtbBiaoClick");
  EXPECT_EQ(std::get<ChangeStep>(s.steps[6]).control, "TxtHang");
  const auto& save = std::get<SaveStep>(s.steps[7]);
  EXPECT_TRUE(save.host && save.data);
}

TEST(ScenarioTest, DefaultsToStartUpAndNoSteps) {
  const Scenario s = parse_scenario_text("{}");
  EXPECT_TRUE(s.initialize);
  EXPECT_FALSE(s.seed.has_value());
  EXPECT_FALSE(s.host.has_value());
  EXPECT_TRUE(s.steps.empty());
}

struct Malformed {
  const char* text;
  const char* message_part;
};

class MalformedScenarioTest : public ::testing::TestWithParam<Malformed> {};

TEST_P(MalformedScenarioTest, IsRefusedWithAMessageNamingTheFault) {
  try {
    parse_scenario_text(GetParam().text);
    FAIL() << "accepted: " << GetParam().text;
  } catch (const ScenarioError& e) {
    EXPECT_NE(std::string(e.what()).find(GetParam().message_part), std::string::npos) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedScenarioTest,
    ::testing::Values(
        Malformed{"{\"steps\": [", "不是有效的 JSON"}, Malformed{"[]", "JSON 对象"},
        Malformed{R"({"step": []})", "\"step\""}, Malformed{R"({"steps": {}})", "\"steps\""},
        Malformed{R"({"seed": -1})", "\"seed\""}, Malformed{R"({"seed": 1.5})", "\"seed\""},
        Malformed{R"({"initialize": "no"})", "\"initialize\""},
        Malformed{R"({"host": ""})", "\"host\""},
        Malformed{R"({"steps": [{"click": "A"}, {"click": "B", "page": "Page1"}]})", "第 2 步"},
        Malformed{R"({"steps": [{"press": "A"}]})", "\"press\""},
        Malformed{R"({"steps": ["MyHelp"]})", "第 1 步"},
        Malformed{R"({"steps": [{"set": ["TxtHang", 3]}]})", "\"set\""},
        Malformed{R"({"steps": [{"set": {"TxtHang": [3]}}]})", "TxtHang"},
        Malformed{R"({"steps": [{"select": {"LtbBiao": -1}}]})", "\"select\""},
        Malformed{R"({"steps": [{"select": {"A": 1, "B": 2}}]})", "\"select\""},
        Malformed{R"({"steps": [{"page": 1}]})", "\"page\""},
        Malformed{R"({"steps": [{"answer": "OK"}]})", "\"answer\""},
        Malformed{R"({"steps": [{"answer": ["OK", 1]}]})", "\"answer\""},
        Malformed{R"({"steps": [{"click": null}]})", "\"click\""},
        Malformed{R"({"steps": [{"change": 5}]})", "\"change\""},
        Malformed{R"({"steps": [{"save": ["all"]}]})", "\"save\""},
        Malformed{R"({"steps": [{"save": []}]})", "\"save\""}));

TEST(ScenarioTest, MissingFileIsNamed) {
  try {
    load_scenario_file("/nonexistent/场景.json");
    FAIL();
  } catch (const ScenarioError& e) {
    EXPECT_NE(std::string(e.what()).find("/nonexistent/场景.json"), std::string::npos);
  }
}

}  // namespace
}  // namespace kelv::app
