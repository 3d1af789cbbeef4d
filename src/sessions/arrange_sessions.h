// 场次编排: after 编排考号, every paper of the timetable 场次表 gets its
// rooms and every examinee who sits it a room and a seat, keeping the one
// exam number of the main arrangement for the whole exam. Written back into
// the data workbook (场次安排, 场次考场, the "<科目>考场" and "<科目>座号"
// columns of 考生表) and into one data workbook per 场次 beside it, whose
// 考生表 and 考场表 print with the templates teachers already have.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/application.h"
#include "host/workbook.h"
#include "sessions/problem.h"

namespace kelv::sessions {

struct ArrangeOptions {
  // The seed of the seat order within rooms; without it, the seed of the
  // settings sheet or the one the main arrangement recorded.
  std::optional<uint64_t> seed;
};

struct SessionsReport {
  // With an error among them nothing was written.
  std::vector<Problem> problems;
  bool written = false;
  int32_t sessions = 0, papers = 0;
  int32_t session_rooms = 0;      // rooms in use, summed over the sessions
  int64_t seated = 0;             // examinee-papers
  int64_t moved = 0;              // of them, away from the main room and seat
  int64_t shared_neighbours = 0;  // with keep-apart: neighbours of one group among newcomers' seats
  std::string keep_apart;         // the keep-apart heading, "" for none
  uint64_t seed = 0;
  std::vector<std::string> paper_columns;  // columns written into 考生表
  std::vector<std::string> books;          // per-session workbooks written, file names
};

// The check before the work: what ArrangeSessions would refuse or warn of,
// read from the data workbook alone (nothing when it has no 场次表). Before
// 编排考号 it still reads who sits which paper; the missing exam numbers are
// then only a notice.
std::vector<Problem> CheckSessions(host::Workbook& data_book);

// Arranges every 场次 and writes the results through the host. Nothing is
// written when a problem is an error; otherwise earlier results of this
// arrangement are replaced and nothing else is touched. A per-session
// workbook is added through the host when its file is not there, and its
// file, when there, is replaced only when an earlier run wrote it. Reports
// progress through EA.progress(), which may stop the work
// (HostError kUserInterrupt) before anything is written or between the
// workbooks written.
SessionsReport ArrangeSessions(host::Application& EA, host::Workbook& data_book,
                               const ArrangeOptions& options);

// What the run did, in a few lines of Chinese for the person.
std::string SummaryText(const SessionsReport& report);

}  // namespace kelv::sessions
