#include "print/qt/text_widths.h"

#include <QChar>
#include <QString>

namespace kelv::print {
namespace {

constexpr std::string_view kNumberCharacters = "0123456789.E+-";

}  // namespace

double TextWidths::operator()(std::string_view text) {
  if (advances_.empty()) {
    advances_.assign(128, 0);
    for (char c : kNumberCharacters)
      advances_[static_cast<size_t>(c)] = metrics_.horizontalAdvance(QChar(c));
    for (char a : kNumberCharacters) {
      for (char b : kNumberCharacters) {
        const QChar pair[2] = {QChar(a), QChar(b)};
        if (metrics_.horizontalAdvance(QString(pair, 2)) !=
            advances_[static_cast<size_t>(a)] + advances_[static_cast<size_t>(b)]) {
          advances_.assign(1, -1);
          break;
        }
      }
      if (advances_.size() == 1) break;
    }
  }
  auto measured = [&] {
    return metrics_.horizontalAdvance(
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  };
  if (advances_.size() == 1) return measured();
  double width = 0;
  for (char c : text) {
    if (kNumberCharacters.find(c) == std::string_view::npos) return measured();
    width += advances_[static_cast<size_t>(c)];
  }
  return width;
}

}  // namespace kelv::print
