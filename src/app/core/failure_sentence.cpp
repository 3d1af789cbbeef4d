#include "app/core/failure_sentence.h"

#include <string_view>

namespace kelv::app {
namespace {

// What the person can do about an error of this number, or "".
const char* remedy(int32_t number) {
  switch (number) {
    case host::kFileNotFound:
    case host::kPathNotFound:
      return "请检查文件是否已被移走或改名，再重新选择。";
    case host::kPermissionDenied:
    case host::kPathFileAccess:
      return "文件可能正被其他程序打开，或文件夹不能写入：请关闭其他程序、检查文件夹的权限后再试。";
    case host::kOutOfMemory:
      return "内存不够：请关闭其他程序后再试，或把数据分成几个工作簿。";
    default:
      return "";
  }
}

// Ends the text with a full stop when it ends with none.
std::string as_sentence(std::string text) {
  static constexpr std::string_view kEnds[] = {"。", "！", "？", "!", "?", "."};
  for (std::string_view end : kEnds)
    if (text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0)
      return text;
  return text + "。";
}

}  // namespace

std::string failure_sentence(const host::HostError& e) {
  std::string text = e.description();
  if (text.empty()) text = host::standard_description(e.number());
  if (e.number() == host::kUserInterrupt) return "已取消。";
  return as_sentence(std::move(text)) + remedy(e.number());
}

std::string failure_sentence(const std::exception& e) {
  if (const auto* host_error = dynamic_cast<const host::HostError*>(&e))
    return failure_sentence(*host_error);
  return e.what();
}

std::string error_box_sentence(std::string_view text) {
  static constexpr std::string_view kColon = "：(";
  const size_t colon = text.find(kColon);
  if (colon == std::string_view::npos) return std::string(text);
  const size_t digits = colon + kColon.size();
  const size_t close = text.find(')', digits);
  if (close == std::string_view::npos || close == digits) return std::string(text);
  int32_t number = 0;
  for (size_t i = digits; i < close; ++i) {
    if (text[i] < '0' || text[i] > '9' || number > 100000) return std::string(text);
    number = number * 10 + (text[i] - '0');
  }
  const std::string source(text.substr(0, colon));
  return failure_sentence(host::HostError(source, number, std::string(text.substr(close + 1))));
}

}  // namespace kelv::app
