#include "host/progress.h"

namespace kelv::host {
namespace {

std::string grouped(int64_t n) {
  std::string digits = std::to_string(n < 0 ? -n : n);
  std::string out;
  const size_t lead = digits.size() % 3;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (i + 3 - lead) % 3 == 0) out += ',';  // unsigned: never below zero
    out += digits[i];
  }
  return n < 0 ? "-" + out : out;
}

}  // namespace

Progress& no_progress() {
  static NoProgress none;
  return none;
}

std::string progress_text(std::string_view what, int64_t done, int64_t total) {
  std::string text(what);
  if (total > 0) {
    text += ' ';
    text += grouped(done);
    text += " / ";
    text += grouped(total);
  } else if (done > 0) {
    text += ' ';
    text += grouped(done);
  }
  return text;
}

}  // namespace kelv::host
