#include "print/qt/fonts.h"

#include <QFontDatabase>
#include <QHash>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <mutex>

namespace kelv::print {
namespace {

// Font names of office documents and installed fonts that take their place:
// metric-compatible ones for the Latin fonts, a free face of the same kind
// for the Chinese ones (Song/Ming for 宋体 and 仿宋, Kai for 楷体, Hei for 黑体
// and 微软雅黑), each with the Debian package that brings it.
struct Substitute {
  const char* name;
  const char* family;
  const char* package = nullptr;  // set for the Chinese faces
};
constexpr const char* kSong = "AR PL UMing CN";
constexpr const char* kKai = "AR PL UKai CN";
constexpr const char* kHei = "WenQuanYi Zen Hei";
constexpr const char* kYaHei = "WenQuanYi Micro Hei";
constexpr const char* kSongPackage = "fonts-arphic-uming";
constexpr const char* kKaiPackage = "fonts-arphic-ukai";
constexpr const char* kHeiPackage = "fonts-wqy-zenhei";
constexpr const char* kYaHeiPackage = "fonts-wqy-microhei";
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
    {"宋体", kSong, kSongPackage},
    {"新宋体", kSong, kSongPackage},
    {"SimSun", kSong, kSongPackage},
    {"NSimSun", kSong, kSongPackage},
    {"仿宋", kSong, kSongPackage},
    {"仿宋_GB2312", kSong, kSongPackage},
    {"FangSong", kSong, kSongPackage},
    {"华文宋体", kSong, kSongPackage},
    {"华文仿宋", kSong, kSongPackage},
    {"楷体", kKai, kKaiPackage},
    {"楷体_GB2312", kKai, kKaiPackage},
    {"KaiTi", kKai, kKaiPackage},
    {"华文楷体", kKai, kKaiPackage},
    {"黑体", kHei, kHeiPackage},
    {"SimHei", kHei, kHeiPackage},
    {"华文黑体", kHei, kHeiPackage},
    {"微软雅黑", kYaHei, kYaHeiPackage},
    {"Microsoft YaHei", kYaHei, kYaHeiPackage},
    {"等线", kYaHei, kYaHeiPackage},
    {"DengXian", kYaHei, kYaHeiPackage},
    {"幼圆", kYaHei, kYaHeiPackage},
    {"隶书", kKai, kKaiPackage},
};

#ifdef Q_OS_WIN
// The Chinese names templates use, with the Windows face of each (some Qt
// font databases list a face by its English name only).
struct WindowsFace {
  const char* name;
  const char* face;
};
constexpr WindowsFace kWindowsFaces[] = {
    {"宋体", "SimSun"},
    {"新宋体", "NSimSun"},
    {"黑体", "SimHei"},
    {"楷体", "KaiTi"},
    {"楷体_GB2312", "KaiTi"},
    {"仿宋", "FangSong"},
    {"仿宋_GB2312", "FangSong"},
    {"微软雅黑", "Microsoft YaHei"},
    {"等线", "DengXian"},
    {"幼圆", "YouYuan"},
    {"隶书", "LiSu"},
};

QString windows_face(const QString& requested) {
  for (const WindowsFace& f : kWindowsFaces)
    if (requested == QString::fromUtf8(f.name)) return QString::fromUtf8(f.face);
  return {};
}
#endif

const Substitute* substitute_for(const QString& requested) {
  for (const Substitute& s : kSubstitutes)
    if (requested.compare(QString::fromUtf8(s.name), Qt::CaseInsensitive) == 0) return &s;
  return nullptr;
}

bool chinese_name(const QString& name) {
  return std::any_of(name.begin(), name.end(), [](QChar ch) { return ch.unicode() >= 0x2E80; });
}

bool installed(const QString& family) {
  return !family.isEmpty() && QFontDatabase::hasFamily(family);
}

// A sans-serif font with a real bold face, for Latin letters and digits
// (Arial is on every Windows).
QString latin_sans() {
  for (const char* generic : {"Arial", "Liberation Sans", "DejaVu Sans", "Carlito"})
    if (installed(generic)) return generic;
  return {};
}

// A Chinese font whose face is missing here draws with the CJK font, which
// has every character, so nothing prints as empty boxes.
QString lookup(const std::string& name) {
  QString requested = QString::fromStdString(name);
  if (installed(requested)) return requested;
#ifdef Q_OS_WIN
  if (const QString face = windows_face(requested); installed(face)) return face;
#endif
  if (const Substitute* s = substitute_for(requested)) {
    if (installed(QString::fromUtf8(s->family))) return QString::fromUtf8(s->family);
    if (s->package != nullptr && !cjk_family().isEmpty()) return cjk_family();
  }
  // Other Chinese font families (方正…) by their names.
  if (chinese_name(requested) && !cjk_family().isEmpty()) return cjk_family();
  QString latin = latin_sans();
  return latin.isEmpty() ? requested : latin;
}

}  // namespace

QString cjk_family() {
  static const QString kFamily = [] {
    // Microsoft YaHei and SimSun come with every Windows since Vista.
    for (const char* f : {"Microsoft YaHei", "SimSun", "WenQuanYi Micro Hei", "WenQuanYi Zen Hei",
                          "Noto Sans CJK SC", "Source Han Sans SC", "Droid Sans Fallback"})
      if (installed(f)) return QString(f);
    return QString();
  }();
  return kFamily;
}

std::string font_note(const std::string& name) {
  const QString requested = QString::fromStdString(name);
  if (installed(requested)) return {};
  const Substitute* s = substitute_for(requested);
  if (s == nullptr || s->package == nullptr || installed(QString::fromUtf8(s->family))) return {};
  const QString used = resolve_family(name);
#ifdef Q_OS_WIN
  // Debian's packages mean nothing on Windows; the face itself is missing.
  if (installed(windows_face(requested))) return {};
  return "字体“" + name + "”没有安装，改用 " + used.toStdString();
#else
  return "字体“" + name + "”要用的 " + s->family + " 没有安装，改用 " + used.toStdString() +
         "（安装 " + s->package + " 可得到原来的字形）";
#endif
}

QString resolve_family(const std::string& name) {
  // Pages are painted on more than one thread at once (pdf_halves.h).
  static std::mutex mutex;
  static QHash<QString, QString> cache;
  const QString key = QString::fromStdString(name);
  const std::lock_guard<std::mutex> lock(mutex);
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
  // Letters are drawn one glyph each, without ligatures ("fi", "ft"), so
  // the text read back from a PDF is the text written.
  font.setStyleStrategy(QFont::PreferNoShaping);
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(points * units_per_point))));
  return font;
}

void set_bold(QFont& font, bool bold) {
  font.setBold(bold);
  QStringList families = font.families();
  if (!bold || families.isEmpty()) return;
  // Qt emboldens a face that has no bold style unless FreeType calls it
  // fixed-width, as it calls the Ming and Kai faces (their Latin letters
  // are): bold text in them is drawn with the Hei face, which it emboldens.
  const QString& first = families.front();
  if (first != kSong && first != kKai) return;
  const QString hei = installed(kHei) ? QString(kHei) : cjk_family();
  if (hei.isEmpty() || hei == first) return;
  families.front() = hei;
  font.setFamilies(families);
}

QFont cell_font(const spreadsheet::Font& f, double units_per_point) {
  QFont font = text_font(f.name, f.size > 0 ? f.size : 11, units_per_point);
  set_bold(font, f.bold);
  font.setItalic(f.italic);
  font.setStrikeOut(f.strike);
  font.setUnderline(!f.underline.empty() && f.underline != "none");
  return font;
}

}  // namespace kelv::print
