#include "app/form/sheet_look.h"

#include <QDate>
#include <QDateTime>
#include <algorithm>
#include <cmath>

#include "spreadsheet/cells.h"
#include "spreadsheet/geometry.h"
#include "spreadsheet/palette.h"

namespace kelv::form {
namespace {

using spreadsheet::Color;

// The default office theme in the order files index it (light 1 first).
constexpr uint32_t kTheme[12] = {0xFFFFFF, 0x000000, 0xEEECE1, 0x1F497D, 0x4F81BD, 0xC0504D,
                                 0x9BBB59, 0x8064A2, 0x4BACC6, 0xF79646, 0x0000FF, 0x800080};

QColor palette_color(uint32_t entry) {
  return QColor::fromRgb(spreadsheet::palette_rgb(static_cast<int32_t>(entry)));
}

QColor apply_tint(QColor c, double tint) {
  if (tint == 0) return c;
  float h, s, l, a;
  c.getHslF(&h, &s, &l, &a);
  l = tint < 0 ? l * static_cast<float>(1 + tint)
               : l * static_cast<float>(1 - tint) + static_cast<float>(tint);
  return QColor::fromHslF(h < 0 ? 0 : h, s, std::clamp(l, 0.0f, 1.0f), a);
}

// strip_section replaces each literal of a format section by kLiteral and
// hands out the literals' texts, each followed by kLiteralEnd.
constexpr QChar kLiteral(0xE000);
constexpr QChar kLiteralEnd(0xE001);

// Writes a stripped section's characters back, each kLiteral as the next
// literal text.
class SectionWriter {
 public:
  explicit SectionWriter(const QStringList& literals) : literals_(literals) {}
  void put(QString& out, QChar ch) {
    if (ch != kLiteral) {
      out += ch;
    } else if (next_ < literals_.size()) {
      out += literals_[next_++];
    }
  }

 private:
  const QStringList& literals_;
  qsizetype next_ = 0;
};

// A date or time part: two digits when its letter is doubled.
QString date_part(int value, int letters) {
  return letters >= 2 ? QString::number(value).rightJustified(2, '0') : QString::number(value);
}

// Removes quoted literals' quotes, backslash escapes and bracketed parts
// ([Red], [$-804]) from one format section; literals are kept as text.
QString strip_section(const QString& section, QString* literal_only) {
  QString out;
  QString literals;
  for (int i = 0; i < section.size(); ++i) {
    const QChar ch = section[i];
    if (ch == '"') {
      int j = section.indexOf('"', i + 1);
      if (j < 0) j = section.size();
      const QString lit = section.mid(i + 1, j - i - 1);
      out += kLiteral;
      literals += lit + kLiteralEnd;
      i = j;
    } else if (ch == '\\' && i + 1 < section.size()) {
      out += kLiteral;
      literals += QString(section[i + 1]) + kLiteralEnd;
      ++i;
    } else if (ch == '[') {
      const int j = section.indexOf(']', i);
      i = j < 0 ? section.size() : j;
    } else if (ch == '_' || ch == '*') {
      ++i;  // padding to the width of the next character: nothing on screen
    } else {
      out += ch;
    }
  }
  *literal_only = literals;
  return out;
}

bool is_date_format(const QString& s) {
  for (QChar ch : s) {
    const QChar l = ch.toLower();
    if (l == 'y' || l == 'd' || l == 'h' || l == 's' || l == 'm') return true;
  }
  return false;
}

QString format_date(double serial, const QString& fmt, const QStringList& literals) {
  const int64_t days = static_cast<int64_t>(std::floor(serial));
  double frac = serial - static_cast<double>(days);
  // Serial 60 is the 29th of February 1900 that never was; serials after it
  // count from the 30th of December 1899.
  QDate date = days < 60 ? QDate(1899, 12, 31).addDays(days) : QDate(1899, 12, 30).addDays(days);
  int64_t secs = std::llround(frac * 86400.0);
  const int hour = static_cast<int>(secs / 3600), minute = static_cast<int>(secs / 60 % 60),
            second = static_cast<int>(secs % 60);
  QString out;
  SectionWriter writer(literals);
  bool after_hour = false;
  for (int i = 0; i < fmt.size();) {
    const QChar ch = fmt[i];
    const QChar l = ch.toLower();
    int n = 1;
    while (i + n < fmt.size() && fmt[i + n].toLower() == l) ++n;
    if (ch == kLiteral) {
      writer.put(out, ch);
      i += 1;
      continue;
    }
    if (l == 'y') {
      out += n <= 2 ? QString::number(date.year() % 100).rightJustified(2, '0')
                    : QString::number(date.year());
    } else if (l == 'm') {
      // Minutes right after an hour or right before seconds, months otherwise.
      int k = i + n;
      while (k < fmt.size() && !fmt[k].isLetter()) ++k;
      const bool minutes = after_hour || (k < fmt.size() && fmt[k].toLower() == 's');
      out += date_part(minutes ? minute : date.month(), n);
      after_hour = false;
    } else if (l == 'd') {
      out += date_part(date.day(), n);
    } else if (l == 'h') {
      out += date_part(hour, n);
      after_hour = true;
    } else if (l == 's') {
      out += date_part(second, n);
    } else {
      out += QString(n, ch);
    }
    i += n;
  }
  return out;
}

QString format_number(double v, const QString& fmt, const QStringList& literals) {
  const int first = [&] {
    for (int i = 0; i < fmt.size(); ++i)
      if (fmt[i] == '0' || fmt[i] == '#' || fmt[i] == '?') return i;
    return -1;
  }();
  QString out;
  SectionWriter writer(literals);
  if (first < 0) {
    // A section of literals only.
    for (QChar ch : fmt) writer.put(out, ch);
    return out;
  }
  int last = first;
  for (int i = first; i < fmt.size(); ++i)
    if (fmt[i] == '0' || fmt[i] == '#' || fmt[i] == '?' || fmt[i] == '.' || fmt[i] == ',') last = i;
  const QString body = fmt.mid(first, last - first + 1);
  const bool percent = fmt.contains('%');
  const bool grouping = body.contains(',');
  const int dot = body.indexOf('.');
  const QString int_part = dot < 0 ? body : body.left(dot);
  const QString dec_part = dot < 0 ? QString() : body.mid(dot + 1);
  const int min_int = static_cast<int>(int_part.count('0'));
  const int decimals =
      static_cast<int>(dec_part.count('0') + dec_part.count('#') + dec_part.count('?'));
  if (percent) v *= 100;
  QString digits = QString::number(std::fabs(v), 'f', decimals);
  QString ip = dot < 0 ? digits : digits.section('.', 0, 0);
  QString dp = decimals > 0 ? digits.section('.', 1, 1) : QString();
  if (ip == "0" && min_int == 0) ip.clear();
  while (ip.size() < min_int) ip.prepend('0');
  if (grouping)
    for (int i = static_cast<int>(ip.size()) - 3; i > 0; i -= 3) ip.insert(i, ',');
  // Optional decimals (#) drop their trailing zeros.
  const int required = static_cast<int>(dec_part.count('0'));
  while (dp.size() > required && dp.endsWith('0')) dp.chop(1);
  QString number = ip;
  if (!dp.isEmpty() || (dot >= 0 && required > 0)) number += '.' + dp;
  for (int i = 0; i < first; ++i) writer.put(out, fmt[i]);
  const bool nonzero =
      std::any_of(number.begin(), number.end(), [](QChar ch) { return ch >= '1' && ch <= '9'; });
  if (v < 0 && nonzero) out += '-';
  out += number;
  for (int i = last + 1; i < fmt.size(); ++i) writer.put(out, fmt[i]);
  return out;
}

}  // namespace

int column_pixels(double width_chars, int32_t digit_px) {
  return spreadsheet::column_width_pixels(width_chars, digit_px);
}

QColor resolve_color(const Color& c, const QColor& fallback) {
  switch (c.kind) {
    case Color::Kind::Rgb:
      return apply_tint(
          QColor::fromRgb((c.value >> 16) & 0xFF, (c.value >> 8) & 0xFF, c.value & 0xFF), c.tint);
    case Color::Kind::Indexed:
      // 0-7 repeat the palette's first eight entries; 8-63 are entries 1-56.
      if (c.value < 8) return apply_tint(palette_color(c.value + 1), c.tint);
      if (c.value < 64) return apply_tint(palette_color(c.value - 7), c.tint);
      return fallback;  // 64, 65: the system's foreground / background
    case Color::Kind::Theme:
      if (c.value < 12) return apply_tint(QColor::fromRgb(kTheme[c.value]), c.tint);
      return fallback;
    case Color::Kind::Auto:
    case Color::Kind::None:
      break;
  }
  return fallback;
}

QFont screen_font(const spreadsheet::Font& f) {
  QFont font(QString::fromStdString(f.name));
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(f.size * kPixelsPerPoint))));
  font.setBold(f.bold);
  font.setItalic(f.italic);
  font.setStrikeOut(f.strike);
  font.setUnderline(!f.underline.empty() && f.underline != "none");
  return font;
}

QString display_text(const spreadsheet::Cell& cell, const spreadsheet::Style& style) {
  const host::Variant& v = cell.value;
  switch (v.kind()) {
    case host::Variant::Kind::Empty:
    case host::Variant::Kind::Null:
      return {};
    case host::Variant::Kind::Text:
      return QString::fromStdString(v.as_text());
    case host::Variant::Kind::Boolean:
      return v.as_bool() ? "TRUE" : "FALSE";
    case host::Variant::Kind::Error:
      return QString::fromUtf8(host::cell_error_text(v.as_error()).data(),
                               static_cast<qsizetype>(host::cell_error_text(v.as_error()).size()));
    case host::Variant::Kind::Number:
      break;
  }
  const double d = v.as_number();
  const QString code = QString::fromStdString(style.number_format);
  if (code.isEmpty() || code.compare("General", Qt::CaseInsensitive) == 0 || code == "@" ||
      code == "G/通用格式")
    return QString::fromStdString(host::number_to_text(d));
  QStringList sections = code.split(';');
  QString section = sections[0];
  double shown = d;
  if (d < 0 && sections.size() > 1) {
    section = sections[1];
    shown = -d;  // the negative section writes its own sign
  } else if (d == 0 && sections.size() > 2) {
    section = sections[2];
  }
  QString literal_text;
  const QString fmt = strip_section(section, &literal_text);
  QStringList literals = literal_text.split(kLiteralEnd);
  if (fmt.trimmed().compare("General", Qt::CaseInsensitive) == 0)
    return QString::fromStdString(host::number_to_text(shown));
  if (is_date_format(fmt)) {
    if (shown < 0 || shown > 2958465) return QString(8, '#');
    return format_date(shown, fmt, literals);
  }
  return format_number(shown, fmt, literals);
}

const spreadsheet::Cell* find_cell(const spreadsheet::Sheet& sheet, int32_t row, int32_t column) {
  return spreadsheet::cells::find(sheet, row, column);
}

Axis::Axis(std::vector<int> sizes, int default_size)
    : sizes_(std::move(sizes)), default_size_(default_size) {
  starts_.reserve(sizes_.size() + 1);
  for (int s : sizes_) starts_.push_back(starts_.back() + s);
}

int64_t Axis::offset(int32_t line) const {
  if (line <= 1) return 0;
  const int32_t i = line - 1;
  if (i <= stored()) return starts_[i];
  return extent() + static_cast<int64_t>(i - stored()) * default_size_;
}

int Axis::size(int32_t line) const {
  return line >= 1 && line <= stored() ? sizes_[line - 1] : default_size_;
}

int32_t Axis::line_at(int64_t p) const {
  if (p < 0) return 1;
  if (p >= extent()) {
    if (default_size_ <= 0) return stored();
    return stored() + 1 + static_cast<int32_t>((p - extent()) / default_size_);
  }
  // The last start not after p, skipping zero-sized (hidden) lines.
  auto it = std::upper_bound(starts_.begin(), starts_.end(), p);
  return static_cast<int32_t>(it - starts_.begin());
}

Axis row_axis(const spreadsheet::Sheet& sheet, int32_t rows) {
  const int def = static_cast<int>(std::lround(sheet.default_row_height * kPixelsPerPoint));
  std::vector<int> sizes(static_cast<size_t>(std::max(rows, 0)), def);
  for (int32_t r = 1; r <= rows && r <= static_cast<int32_t>(sheet.rows.size()); ++r) {
    const spreadsheet::Row& row = sheet.rows[r - 1];
    if (row.hidden)
      sizes[r - 1] = 0;
    else if (row.height >= 0)
      sizes[r - 1] = static_cast<int>(std::lround(row.height * kPixelsPerPoint));
  }
  return Axis(std::move(sizes), def);
}

Axis column_axis(const spreadsheet::Sheet& sheet, int32_t columns, int32_t digit_px) {
  const int def = column_pixels(sheet.default_column_width, digit_px);
  std::vector<int> sizes(static_cast<size_t>(std::max(columns, 0)), def);
  for (const auto& [c, info] : sheet.columns) {
    if (c < 1 || c > columns) continue;
    if (info.hidden)
      sizes[c - 1] = 0;
    else if (info.width >= 0)
      sizes[c - 1] = column_pixels(info.width, digit_px);
  }
  return Axis(std::move(sizes), def);
}

QString column_letters(int32_t column) {
  QString s;
  while (column > 0) {
    const int32_t m = (column - 1) % 26;
    s.prepend(QChar('A' + m));
    column = (column - 1) / 26;
  }
  return s;
}

}  // namespace kelv::form
