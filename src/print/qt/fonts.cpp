#include "print/qt/fonts.h"

#include <QFontDatabase>
#include <QHash>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace kelv::print {
namespace {

// Font names of office documents and installed fonts that take their place:
// metric-compatible ones for the Latin fonts, the CJK font for Chinese ones.
struct Substitute {
  const char* name;
  const char* family;  // null: the CJK font
};
constexpr Substitute kSubstitutes[] = {
    {"Calibri", "Carlito"},
    {"Cambria", "Caladea"},
    {"Arial", "Liberation Sans"},
    {"Helvetica", "Liberation Sans"},
    {"Arial Narrow", "Liberation Sans Narrow"},
    {"Times New Roman", "Liberation Serif"},
    {"Times", "Liberation Serif"},
    {"Courier New", "Liberation Mono"},
    {"Courier", "Liberation Mono"},
    {"宋体", nullptr},
    {"新宋体", nullptr},
    {"SimSun", nullptr},
    {"NSimSun", nullptr},
    {"黑体", nullptr},
    {"SimHei", nullptr},
    {"微软雅黑", nullptr},
    {"Microsoft YaHei", nullptr},
    {"等线", nullptr},
    {"DengXian", nullptr},
    {"楷体", nullptr},
    {"KaiTi", nullptr},
    {"仿宋", nullptr},
    {"FangSong", nullptr},
    {"幼圆", nullptr},
    {"隶书", nullptr},
};

bool installed(const QString& family) {
  return !family.isEmpty() && QFontDatabase::hasFamily(family);
}

// A sans-serif font with a real bold face, for Latin letters and digits.
QString latin_sans() {
  for (const char* generic : {"Liberation Sans", "DejaVu Sans", "Carlito"})
    if (installed(generic)) return generic;
  return {};
}

// A Chinese font missing here draws its Latin text (exam numbers, dates)
// with a sans-serif font that has a bold face, as the CJK font has none;
// its Chinese text falls back to the CJK font.
QString for_chinese_font() {
  QString latin = latin_sans();
  return latin.isEmpty() ? cjk_family() : latin;
}

QString lookup(const std::string& name) {
  QString requested = QString::fromStdString(name);
  if (installed(requested)) return requested;
  for (const Substitute& s : kSubstitutes) {
    if (requested.compare(QString::fromUtf8(s.name), Qt::CaseInsensitive) != 0) continue;
    if (s.family == nullptr) return for_chinese_font();
    if (installed(QString::fromUtf8(s.family))) return QString::fromUtf8(s.family);
  }
  // Other Chinese font families (华文…, 方正…) by their names.
  for (QChar ch : requested)
    if (ch.unicode() >= 0x2E80) return for_chinese_font();
  QString latin = latin_sans();
  return latin.isEmpty() ? requested : latin;
}

}  // namespace

QString cjk_family() {
  static const QString kFamily = [] {
    for (const char* f : {"WenQuanYi Micro Hei", "WenQuanYi Zen Hei", "Noto Sans CJK SC",
                          "Source Han Sans SC", "Droid Sans Fallback"})
      if (installed(f)) return QString(f);
    return QString();
  }();
  return kFamily;
}

QString resolve_family(const std::string& name) {
  static QHash<QString, QString> cache;
  const QString key = QString::fromStdString(name);
  auto it = cache.constFind(key);
  if (it != cache.constEnd()) return *it;
  QString family = lookup(name);
  cache.insert(key, family);
  return family;
}

QFont text_font(const std::string& name, double points, double units_per_point) {
  QFont font;
  QStringList families{resolve_family(name)};
  const QString cjk = cjk_family();
  if (!cjk.isEmpty() && families.front() != cjk) families.push_back(cjk);
  font.setFamilies(families);
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(points * units_per_point))));
  return font;
}

QFont cell_font(const spreadsheet::Font& f, double units_per_point) {
  QFont font = text_font(f.name, f.size > 0 ? f.size : 11, units_per_point);
  font.setBold(f.bold);
  font.setItalic(f.italic);
  font.setStrikeOut(f.strike);
  font.setUnderline(!f.underline.empty() && f.underline != "none");
  return font;
}

}  // namespace kelv::print
