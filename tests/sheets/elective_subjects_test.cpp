// How schools write an examinee's subjects, and what kelv reads in them.
#include "sheets/elective_subjects.h"

#include <gtest/gtest.h>

namespace kelv::sheets {
namespace {

TEST(ElectiveSubjects, EveryCommonSpellingReadsAsTheSameCombination) {
  for (const char* text : {"物化生", "物理 化学 生物", "物理、化学、生物", "物/化/生",
                           "物理,化学,生物", "物理，化学，生物", "生物+物理+化学", "物理化学生物",
                           " 物　化　生 ", "物理;化学;生物", "物化生物"}) {
    const SubjectList list = ReadSubjectList(text);
    EXPECT_TRUE(list.unreadable.empty()) << text;
    EXPECT_EQ(CombinationKey(list), "物理、化学、生物") << text;
  }
  EXPECT_EQ(CombinationKey(ReadSubjectList("史地政")), "历史、政治、地理");
  EXPECT_EQ(CombinationKey(ReadSubjectList("历史 思想政治 地理")), "历史、政治、地理");
  EXPECT_EQ(CombinationKey(ReadSubjectList("语数英物化生")), "语文、数学、外语、物理、化学、生物");
  EXPECT_EQ(CombinationKey(ReadSubjectList("物理 物理 化")), "物理、化学");
  EXPECT_EQ(CanonicalSubject("英语"), "外语");
  EXPECT_EQ(CanonicalSubject("通用技术"), "技术");
  EXPECT_EQ(CanonicalSubject("日语"), "");
}

TEST(ElectiveSubjects, PiecesThatNameNoSubjectAreKeptToBeNamed) {
  SubjectList list = ReadSubjectList("物化x");
  EXPECT_TRUE(list.subjects.empty());
  EXPECT_EQ(list.unreadable, std::vector<std::string>{"物化x"});
  list = ReadSubjectList("物理 美术、3+1+2");
  EXPECT_EQ(list.subjects, (std::vector<std::string>{"物理"}));
  EXPECT_EQ(list.unreadable, (std::vector<std::string>{"美术", "3", "1", "2"}));
  // Papers of the timetable kelv does not know are subjects as written.
  list = ReadSubjectList("日语 物理美术", {"日语", "美术"});
  EXPECT_TRUE(list.unreadable.empty());
  EXPECT_EQ(list.subjects, (std::vector<std::string>{"物理", "日语", "美术"}));
  EXPECT_TRUE(ReadSubjectList("").subjects.empty());
  EXPECT_TRUE(ReadSubjectList("").unreadable.empty());
}

}  // namespace
}  // namespace kelv::sheets
