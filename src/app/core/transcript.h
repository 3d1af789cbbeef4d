// The transcript of a scenario run: one JSON object per line, written as the
// run goes. Every dialog, tone, opened document and window-style request of
// the dialog layer, every event sent and every failure returned by MyFunSet,
// every save, and at the end the whole form. Paths inside the workspace are
// written relative to it, so transcripts do not depend on the machine.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "host/form_model.h"
#include "host/host_error.h"
#include "host/recording_dialogs.h"

namespace kelv::app {

class Transcript {
 public:
  // `workspace` is the absolute folder whose paths are made relative.
  Transcript(std::ostream& out, std::string workspace);

  // Writes the dialog records that arrived since the last call.
  void dialogs(const host::RecordingDialogs& dialogs);
  void click(std::string_view event, bool ignored);
  void change(std::string_view control);
  void failure(std::string_view control, const host::HostError& e);
  void saved(std::string_view path);
  // A workbook changed elsewhere: read again from the disk, or left unsaved.
  void reloaded(std::string_view path);
  void not_saved(std::string_view path);
  // A damaged file opened mended, with what was repaired.
  void repaired(std::string_view path, const std::vector<std::string>& repairs);
  void unused_answers(size_t count);
  // The check before `action` found `findings` (a line each); `answer` is
  // what the scenario answered, or the default when it gave none.
  void check(std::string_view action, const std::vector<std::string>& findings,
             std::string_view answer, bool defaulted);
  // How long work ended: "done" with what it made, "stopped" (the error
  // box ended it), or "nothing" (a generation that left no table).
  // `notes`: texts of a generated table that print cut off.
  void work(std::string_view event, std::string_view outcome, std::string_view summary,
            const std::vector<std::string>& notes);
  // A warning the workspace gave (another program's lock file).
  void warning(std::string_view text);
  void form(const host::FormModel& form);

  // The workspace-relative form of every path inside `text`.
  std::string relative(std::string_view text) const;

 private:
  void line(const nlohmann::ordered_json& object);

  std::ostream& out_;
  std::string workspace_;
  size_t dialogs_written_ = 0;
};

}  // namespace kelv::app
