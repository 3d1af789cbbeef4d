#include "app/core/transcript.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace kelv::app {
namespace {

using nlohmann::ordered_json;

ordered_json value_json(const host::Variant& v) {
  switch (v.kind()) {
    case host::Variant::Kind::Empty:
    case host::Variant::Kind::Null:
      return nullptr;
    case host::Variant::Kind::Boolean:
      return v.as_bool();
    case host::Variant::Kind::Number:
      return v.as_number();
    case host::Variant::Kind::Text:
      return v.as_text();
    case host::Variant::Kind::Error:
      return std::string(host::cell_error_text(v.as_error()));
  }
  return nullptr;
}

const char* kind_name(host::ControlKind kind) {
  switch (kind) {
    case host::ControlKind::TextBox:
      return "text";
    case host::ControlKind::ComboBox:
      return "combo";
    case host::ControlKind::ListBox:
      return "list";
    case host::ControlKind::CheckBox:
      return "check";
    case host::ControlKind::OptionButton:
      return "option";
    case host::ControlKind::CommandButton:
      return "button";
    case host::ControlKind::MultiPage:
      return "pages";
  }
  return "";
}

// A transcript line starts with its kind.
ordered_json entry(std::string_view kind) {
  ordered_json j;
  j["kind"] = kind;
  return j;
}

ordered_json answer_json(const std::optional<std::string>& answer) {
  return answer ? ordered_json(*answer) : ordered_json(nullptr);
}

// Replaces every occurrence of `what` that is not the start of a longer
// name ("/ws" inside "/wsx" stays).
void replace_all(std::string& text, std::string_view what, std::string_view with,
                 bool whole_name = false) {
  if (what.empty()) return;
  size_t at = text.find(what);
  while (at != std::string::npos) {
    const size_t end = at + what.size();
    const bool longer =
        whole_name && end < text.size() &&
        (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_' ||
         text[end] == '-' || text[end] == '.' || static_cast<unsigned char>(text[end]) >= 0x80);
    if (longer) {
      at = text.find(what, end);
      continue;
    }
    text.replace(at, what.size(), with);
    at = text.find(what, at + with.size());
  }
}

}  // namespace

Transcript::Transcript(std::ostream& out, std::string workspace)
    : out_(out), workspace_(std::move(workspace)) {
  while (workspace_.size() > 1 && (workspace_.back() == '/' || workspace_.back() == '\\'))
    workspace_.pop_back();
}

std::string Transcript::relative(std::string_view text) const {
  std::string out(text);
  replace_all(out, workspace_ + "/", "");
  replace_all(out, workspace_ + "\\", "");
  replace_all(out, workspace_, ".", true);
  return out;
}

void Transcript::line(const ordered_json& object) {
  out_ << object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
  out_.flush();
}

void Transcript::dialogs(const host::RecordingDialogs& dialogs) {
  const auto& records = dialogs.records();
  for (; dialogs_written_ < records.size(); ++dialogs_written_) {
    const host::DialogRecord& r = records[dialogs_written_];
    ordered_json j = entry(r.kind);
    if (r.kind == "message") {
      j["title"] = r.title;
      j["text"] = relative(r.text);
      j["buttons"] = r.buttons;
      j["icon"] = r.icon;
      j["answer"] = answer_json(r.answer);
    } else if (r.kind == "input") {
      j["title"] = r.title;
      j["prompt"] = relative(r.text);
      j["default"] = r.default_text;
      j["answer"] = answer_json(r.answer);
    } else if (r.kind == "tone") {
      j["hertz"] = r.hertz;
      j["milliseconds"] = r.milliseconds;
    } else if (r.kind == "document") {
      j["path"] = relative(r.text);
    } else if (r.kind == "resizable") {
      j["caption"] = r.text;
    } else {
      j["text"] = relative(r.text);
    }
    if (r.defaulted) j["defaulted"] = true;
    line(j);
  }
}

void Transcript::click(std::string_view event, bool ignored) {
  ordered_json j = entry("click");
  j["event"] = event;
  if (ignored) j["ignored"] = "disabled";
  line(j);
}

void Transcript::change(std::string_view control) {
  ordered_json j = entry("change");
  j["control"] = control;
  line(j);
}

void Transcript::failure(std::string_view control, const host::HostError& e) {
  ordered_json j = entry("failure");
  j["control"] = control;
  j["source"] = e.source();
  j["number"] = e.number();
  j["description"] = relative(e.description());
  line(j);
}

void Transcript::saved(std::string_view path) {
  ordered_json j = entry("save");
  j["path"] = relative(path);
  line(j);
}

void Transcript::reloaded(std::string_view path) {
  ordered_json j = entry("reload");
  j["path"] = relative(path);
  line(j);
}

void Transcript::not_saved(std::string_view path) {
  ordered_json j = entry("not-saved");
  j["path"] = relative(path);
  line(j);
}

void Transcript::repaired(std::string_view path, const std::vector<std::string>& repairs) {
  ordered_json j = entry("repair");
  std::string shown = relative(path);
#ifdef _WIN32
  // The same transcript on every platform: the workspace's folders with "/".
  std::replace(shown.begin(), shown.end(), '\\', '/');
#endif
  j["path"] = shown;
  j["repairs"] = repairs;
  line(j);
}

void Transcript::check(std::string_view action, const std::vector<std::string>& findings,
                       std::string_view answer, bool defaulted) {
  ordered_json j = entry("check");
  j["action"] = action;
  ordered_json lines = ordered_json::array();
  for (const std::string& f : findings) lines.push_back(relative(f));
  j["findings"] = std::move(lines);
  j["answer"] = answer;
  if (defaulted) j["defaulted"] = true;
  line(j);
}

void Transcript::work(std::string_view event, std::string_view outcome, std::string_view summary,
                      const std::vector<std::string>& notes) {
  ordered_json j = entry("work");
  j["event"] = event;
  j["outcome"] = outcome;
  if (!summary.empty()) j["summary"] = relative(summary);
  if (!notes.empty()) j["notes"] = notes;
  line(j);
}

void Transcript::warning(std::string_view text) {
  ordered_json j = entry("warning");
  j["text"] = relative(text);
  line(j);
}

void Transcript::unused_answers(size_t count) {
  ordered_json j = entry("unused-answers");
  j["count"] = count;
  line(j);
}

void Transcript::form(const host::FormModel& form) {
  ordered_json f = entry("form");
  f["caption"] = form.caption();
  line(f);
  for (const host::Control* c : form.controls()) {
    ordered_json j = entry("control");
    j["name"] = c->name();
    j["type"] = kind_name(c->kind());
    switch (c->kind()) {
      case host::ControlKind::ListBox:
      case host::ControlKind::ComboBox:
        j["value"] = value_json(c->value());
        j["items"] = c->items();
        j["index"] = c->list_index();
        break;
      case host::ControlKind::MultiPage:
        j["page"] = c->selected_page();
        break;
      case host::ControlKind::CommandButton:
        break;
      default:
        j["value"] = value_json(c->value());
        break;
    }
    j["enabled"] = c->enabled();
    line(j);
  }
}

}  // namespace kelv::app
