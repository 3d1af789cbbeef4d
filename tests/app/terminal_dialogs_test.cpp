#include "app/core/terminal_dialogs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "host/file_path.h"
#include "host/host_error.h"
#include "support/temp_folder.h"

namespace kelv::app {
namespace {

namespace fs = std::filesystem;
using host::MessageButtons;
using host::MessageIcon;
using host::MessageResult;

struct Terminal {
  explicit Terminal(const std::string& typed, bool bell = false)
      : in(typed), dialogs(in, out, bell) {
    dialogs.set_viewer("");
  }
  std::istringstream in;
  std::ostringstream out;
  TerminalDialogs dialogs;
};

MessageResult YesNo(Terminal& t) {
  return t.dialogs.message_box("确实要删除吗？", MessageButtons::YesNo, MessageIcon::None,
                               "删除模板");
}

TEST(TerminalDialogsTest, MessageBoxShowsTitleTextAndButtons) {
  Terminal t("\n");
  EXPECT_EQ(
      t.dialogs.message_box("第一行\r\n第二行", MessageButtons::Ok, MessageIcon::Critical, "出错"),
      MessageResult::Ok);
  const std::string shown = t.out.str();
  EXPECT_NE(shown.find("【出错】（错误）"), std::string::npos) << shown;
  EXPECT_NE(shown.find("第一行\n第二行\n"), std::string::npos) << shown;
  EXPECT_EQ(shown.find('\r'), std::string::npos);
  EXPECT_NE(shown.find("[确定：按 Enter]"), std::string::npos);
}

TEST(TerminalDialogsTest, YesNoTakesLettersAndChineseWords) {
  for (const auto& [typed, expected] : {std::pair{"y\n", MessageResult::Yes},
                                        {"Y\n", MessageResult::Yes},
                                        {" yes \n", MessageResult::Yes},
                                        {"是\n", MessageResult::Yes},
                                        {"n\n", MessageResult::No},
                                        {"NO\n", MessageResult::No},
                                        {"否\r\n", MessageResult::No}}) {
    Terminal t(typed);
    EXPECT_EQ(YesNo(t), expected) << typed;
  }
}

TEST(TerminalDialogsTest, OtherInputAsksAgainAndLeavesTheNextLine) {
  Terminal t("\nmaybe\ny\nnext\n");
  EXPECT_EQ(YesNo(t), MessageResult::Yes);
  const std::string shown = t.out.str();
  size_t asked = 0;
  for (size_t at = shown.find("[是(y) / 否(n)]"); at != std::string::npos;
       at = shown.find("[是(y) / 否(n)]", at + 1))
    ++asked;
  EXPECT_EQ(asked, 3u) << shown;
  EXPECT_EQ(t.dialogs.read_line(), "next");
}

TEST(TerminalDialogsTest, OkBoxWantsEnterSoATypedCommandIsNotSwallowed) {
  Terminal t("save\n\n");
  EXPECT_EQ(t.dialogs.message_box("完成", MessageButtons::Ok, MessageIcon::None, "提示"),
            MessageResult::Ok);
  EXPECT_NE(t.out.str().find("请按 Enter 确定"), std::string::npos);
  EXPECT_EQ(t.dialogs.read_line(), std::nullopt);
}

TEST(TerminalDialogsTest, EndOfInputAnswersOkNoAndCancel) {
  Terminal t("");
  EXPECT_EQ(t.dialogs.message_box("完成", MessageButtons::Ok, MessageIcon::None, "提示"),
            MessageResult::Ok);
  EXPECT_EQ(YesNo(t), MessageResult::No);
  EXPECT_EQ(t.dialogs.input_box("模板名：", "添加模板", "门贴"), "");
  const std::string shown = t.out.str();
  EXPECT_NE(shown.find("（输入已结束：确定）"), std::string::npos);
  EXPECT_NE(shown.find("（输入已结束：否）"), std::string::npos);
  EXPECT_NE(shown.find("（输入已结束：取消）"), std::string::npos);
}

TEST(TerminalDialogsTest, EndOfInputAfterBadAnswersIsNo) {
  Terminal t("x\nz");
  EXPECT_EQ(YesNo(t), MessageResult::No);
}

TEST(TerminalDialogsTest, InputBoxDefaultTypedTextAndCancel) {
  Terminal t("\n考场贴 A\n.\n..\n");
  EXPECT_EQ(t.dialogs.input_box("请输入要添加的模板名:", "添加模板", "门贴"), "门贴");
  EXPECT_EQ(t.dialogs.input_box("请输入要添加的模板名:", "添加模板", "门贴"), "考场贴 A");
  EXPECT_EQ(t.dialogs.input_box("请输入要添加的模板名:", "添加模板", "门贴"), "");
  EXPECT_EQ(t.dialogs.input_box("请输入要添加的模板名:", "添加模板", ""), "..");
  const std::string shown = t.out.str();
  EXPECT_NE(shown.find("【添加模板】\n请输入要添加的模板名:\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("[门贴] "), std::string::npos);
}

TEST(TerminalDialogsTest, EchoWritesWhatWasRead) {
  Terminal t("y\n");
  t.dialogs.set_echo(true);
  YesNo(t);
  EXPECT_NE(t.out.str().find("[是(y) / 否(n)] y\n"), std::string::npos) << t.out.str();
}

TEST(TerminalDialogsTest, ToneRingsOnlyATerminal) {
  Terminal quiet("");
  quiet.dialogs.tone(800, 200);
  EXPECT_EQ(quiet.out.str(), "");
  Terminal ringing("", true);
  ringing.dialogs.tone(800, 200);
  EXPECT_EQ(ringing.out.str(), "\a");
}

TEST(TerminalDialogsTest, OpenDocumentPrintsThePathOrFailsWith53) {
  const test::TempFolder temp("terminal-dialogs");
  const fs::path dir = temp.path();
  const std::string doc = host::path_text(dir / host::file_path("帮助.doc"));
  std::ofstream(host::file_path(doc)) << "help";
  Terminal t("");
  t.dialogs.open_document(doc);
  EXPECT_NE(t.out.str().find("打开文档：" + doc), std::string::npos);
  try {
    t.dialogs.open_document(host::path_text(dir) + "/没有.doc");
    ADD_FAILURE() << "a missing document opened";
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.number(), host::kFileNotFound);
  }
  // A viewer that cannot start is no failure of the dialog.
  t.dialogs.set_viewer("/nonexistent/viewer");
  EXPECT_NO_THROW(t.dialogs.open_document(doc));
  EXPECT_NO_THROW(t.dialogs.make_form_resizable("kelv 考务"));
}

}  // namespace
}  // namespace kelv::app
