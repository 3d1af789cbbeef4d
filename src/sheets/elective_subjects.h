// The subjects an examinee sits, as schools write them in the 选考科目
// column of 考生表: 物化生, 物理 化学 生物, 物理、化学、生物, 物/化/生, full
// names or the one-character short forms. The main arrangement reads them
// to keep each combination together, the session arrangement to know who
// sits which paper.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/worksheet.h"

namespace kelv::sheets {

// The subject a name stands for, in its usual full form: 英语, 外 and 英 are
// 外语, 思想政治 and 政 are 政治, 物 is 物理. "" for a name that is no subject
// of the list below (日语, 美术, 物理A).
std::string CanonicalSubject(std::string_view name);

// Where a subject stands in the usual order of a timetable (语文, 数学,
// 外语, 物理, 历史, 化学, 生物, 政治, 地理, 技术), for sorting; subjects
// outside the list come after it.
int32_t SubjectRank(std::string_view canonical);

struct SubjectList {
  // Each subject once: canonical names for the known subjects, other names
  // as written; in SubjectRank order, others in the order written.
  std::vector<std::string> subjects;
  // The pieces that name no subject, as written.
  std::vector<std::string> unreadable;
};

// Reads one cell of subjects. Pieces are split at white space and at 、 , ，
// / ／ + ＋ ; ； | and ·, and a piece without separators is read as names one
// after another, the longest name first (物化生, 物理化学生物, 史地政).
// `other_names` are further subjects taken as written (a paper 日语 of the
// timetable); without them such a piece is unreadable.
SubjectList ReadSubjectList(std::string_view text,
                            const std::vector<std::string>& other_names = {});

// The subjects joined with "、", the key of a combination: examinees who
// wrote 物化生 and 物理 化学 生物 have the same key.
std::string CombinationKey(const SubjectList& list);

// The 考生表 column listing each examinee's subjects: the first of
// 选考科目, 选科 and 科目组合 that is a heading; 0 when none is.
int32_t FindElectiveColumn(host::Worksheet& examinees);

}  // namespace kelv::sheets
