// Putting the workspace back as it was before a step of long work
// (assignment, generation, 场次编排, 安排监考): when the person stops the
// step halfway, and later to undo the last step. Both use one snapshot,
// taken before the step: a copy of every open workbook, the form's controls
// and the component's fields. Once the step has finished the snapshot keeps
// only what the step changed: the cells of a sheet the step left as it was
// are not held twice, they are taken back from the workbook itself when the
// snapshot is put back. Everything is in memory; nothing here writes a file.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/core/work_report.h"
#include "app/core/workspace.h"
#include "host/progress.h"
#include "host/variant.h"
#include "spreadsheet/model.h"

namespace kelv::app {

class WorkSnapshot {
 public:
  // Copies everything `workspace` has open. `what` names the step
  // ("编排考号").
  WorkSnapshot(Workspace& workspace, std::string what);
  ~WorkSnapshot();
  WorkSnapshot(const WorkSnapshot&) = delete;
  WorkSnapshot& operator=(const WorkSnapshot&) = delete;

  const std::string& what() const { return what_; }

  // After the step finished: drops the copies of what it left unchanged and
  // notes the workbooks it opened. False when it changed no workbook (there
  // is nothing to undo then).
  bool keep_changes_only(Workspace& workspace);

  // Puts the workspace back: every workbook's content as it was, the
  // workbooks the step opened closed, the form's controls, the component's
  // fields and whether anything was unsaved. Once only. Throws
  // WorkspaceError, changing nothing, when a sheet whose cells the snapshot
  // left in its workbook is no longer there.
  void restore(Workspace& workspace);

  // Bytes the snapshot's cells take (rows and cells, texts beyond a cell's
  // own 16 bytes); for figures.
  int64_t cell_bytes() const;

 private:
  struct Book;
  struct ControlState;
  std::string what_;
  std::vector<Book> books_;
  std::string active_;  // the active workbook's name
  std::vector<ControlState> controls_;
  std::string data_book_name_;
  int32_t work_column_ = 0;
  bool form_ready_ = false;
  bool unsaved_ = false;
  bool finished_ = false;            // keep_changes_only was called
  std::vector<std::string> opened_;  // by the step, when finished
};

// What run_undoable leaves: the step's report, and what undoes the step
// when it finished and changed a workbook (null otherwise).
struct UndoableRun {
  WorkReport report;
  std::unique_ptr<WorkSnapshot> undo;
};

// Runs `work`, a step of long work named `what` that returns its report,
// with `progress` (the front end's) as the engine's progress. When the
// person stops it (progress throws HostError kUserInterrupt), the
// component's error box for the stop is not shown, everything is put back
// as it was and the report says it was cancelled.
UndoableRun run_undoable(Workspace& workspace, host::Progress& progress, const std::string& what,
                         const std::function<WorkReport()>& work);

}  // namespace kelv::app
