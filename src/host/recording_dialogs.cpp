#include "host/recording_dialogs.h"

#include <filesystem>

#include "host/environment.h"
#include "host/file_path.h"
#include "host/host_error.h"

namespace kelv::host {

std::vector<DialogRecord> RecordingDialogs::messages() const {
  std::vector<DialogRecord> out;
  for (const auto& r : records_)
    if (r.kind == "message") out.push_back(r);
  return out;
}

MessageResult RecordingDialogs::message_box(std::string_view text, MessageButtons buttons,
                                            MessageIcon icon, std::string_view title) {
  DialogRecord r;
  r.kind = "message";
  r.title = title;
  r.text = text;
  r.buttons = buttons == MessageButtons::Ok ? "OK" : "YesNo";
  r.icon = icon == MessageIcon::None ? "none" : "critical";
  MessageResult result = buttons == MessageButtons::Ok ? MessageResult::Ok : MessageResult::No;
  if (!answers_.empty()) {
    std::optional<std::string> a = answers_.front();
    answers_.pop_front();
    if (a && *a == "Yes" && buttons == MessageButtons::YesNo)
      result = MessageResult::Yes;
    else if (a && *a == "No" && buttons == MessageButtons::YesNo)
      result = MessageResult::No;
    else
      result = buttons == MessageButtons::Ok ? MessageResult::Ok : MessageResult::No;
  } else {
    r.defaulted = true;
  }
  r.answer = result == MessageResult::Ok ? "OK" : result == MessageResult::Yes ? "Yes" : "No";
  records_.push_back(std::move(r));
  return result;
}

std::string RecordingDialogs::input_box(std::string_view prompt, std::string_view title,
                                        std::string_view default_text) {
  DialogRecord r;
  r.kind = "input";
  r.title = title;
  r.text = prompt;
  r.default_text = default_text;
  if (!answers_.empty()) {
    r.answer = answers_.front();
    answers_.pop_front();
  } else {
    r.defaulted = true;  // Cancel
  }
  std::string typed = r.answer.value_or("");
  records_.push_back(std::move(r));
  return typed;
}

void RecordingDialogs::tone(int32_t hertz, int32_t milliseconds) {
  DialogRecord r;
  r.kind = "tone";
  r.hertz = hertz;
  r.milliseconds = milliseconds;
  records_.push_back(std::move(r));
}

void RecordingDialogs::open_document(std::string_view path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file_path(path), ec))
    throw HostError::host(kFileNotFound, "文件未找到：" + std::string(path));
  DialogRecord r;
  r.kind = "document";
  r.text = path;
  records_.push_back(std::move(r));
}

void RecordingDialogs::make_form_resizable(std::string_view caption) {
  if (resizable_fails_) throw HostError::host(kRefused, "找不到窗体窗口");
  DialogRecord r;
  r.kind = "resizable";
  r.text = caption;
  records_.push_back(std::move(r));
}

}  // namespace kelv::host
