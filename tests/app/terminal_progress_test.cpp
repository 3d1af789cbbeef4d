#include "app/core/terminal_progress.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>

namespace kelv::app {
namespace {

using Clock = TerminalProgress::Clock;
using std::chrono::milliseconds;

struct Line {
  std::ostringstream out;
  Clock::time_point t{};
  TerminalProgress progress{out, true, [this] { return t; }};
  void at(int ms) { t = Clock::time_point(milliseconds(ms)); }
};

TEST(TerminalProgress, ShowsWorkOnlyAfterASecondAndRedrawsTenTimesASecond) {
  Line l;
  l.at(0);
  l.progress.report("生成桌贴", 0, 100000);
  l.at(900);
  l.progress.report("生成桌贴", 9000, 100000);
  EXPECT_EQ(l.out.str(), "");  // work of under a second shows nothing
  l.at(1000);
  l.progress.report("生成桌贴", 10000, 100000);
  EXPECT_EQ(l.out.str(), "\r生成桌贴 10,000 / 100,000");
  l.at(1050);
  l.progress.report("生成桌贴", 10500, 100000);  // too soon to draw again
  l.at(1100);
  l.progress.report("生成桌贴：图片", 7, 10);
  // A shorter line is drawn over the longer one, blanks past its end.
  const std::string second = "生成桌贴：图片 7 / 10";
  const std::string first = "生成桌贴 10,000 / 100,000";
  EXPECT_EQ(l.out.str(),
            "\r" + first + "\r" + second + std::string(first.size() - second.size(), ' '));
}

TEST(TerminalProgress, TheEndOfTheWorkTakesTheLineAwayAndTheNextWorkWaitsAgain) {
  Line l;
  l.at(0);
  l.progress.report("编排考号", 0, 10);
  l.at(2000);
  l.progress.report("编排考号", 5, 10);
  l.out.str("");
  l.progress.report("编排考号", 10, 10);
  EXPECT_EQ(l.out.str(), "\r" + std::string(std::string("编排考号 5 / 10").size(), ' ') + "\r");
  l.out.str("");
  l.at(2500);
  l.progress.report("写出 PDF", 1, 5556);
  EXPECT_EQ(l.out.str(), "");
}

TEST(TerminalProgress, AnythingButATerminalGetsNothing) {
  std::ostringstream out;
  int64_t ms = 0;
  {
    TerminalProgress p(out, false, [&] { return Clock::time_point(milliseconds(ms)); });
    p.report("生成门贴", 0, 3);
    ms = 5000;
    p.report("生成门贴", 1, 3);
  }
  EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace kelv::app
