// Worksheet.PageSetup over the model: margins in points (the file keeps
// inches), headers and footers as the &L/&C/&R sections of the odd page
// strings. A refused value leaves the property as it was.
#include <cmath>
#include <string>

#include "host/host_error.h"
#include "spreadsheet/engine_impl.h"
#include "spreadsheet/text.h"

namespace kelv::spreadsheet {
namespace {

using host::HostError;
using host::PageSetupProperty;

HostError refused(std::string_view what) {
  return HostError::host(host::kRefused, "不能设置 PageSetup 的 " + std::string(what) + " 属性");
}

struct Sections {
  std::string left, center, right;
};

// Splits a header/footer string at its &L, &C and &R codes; text before any
// code belongs to the centre section. "&&" is a literal ampersand.
Sections split_sections(const std::string& s) {
  Sections out;
  std::string* cur = &out.center;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '&' && i + 1 < s.size()) {
      const char code = s[i + 1];
      if (code == 'L' || code == 'C' || code == 'R') {
        cur = code == 'L' ? &out.left : code == 'C' ? &out.center : &out.right;
        ++i;
        continue;
      }
      *cur += s[i];
      *cur += s[++i];
      continue;
    }
    *cur += s[i];
  }
  return out;
}

std::string join_sections(const Sections& s) {
  std::string out;
  if (!s.left.empty()) out += "&L" + s.left;
  if (!s.center.empty()) out += "&C" + s.center;
  if (!s.right.empty()) out += "&R" + s.right;
  return out;
}

// A number from a value: numbers and numeric text; empty, Booleans and
// other text are refused.
double number_of(const Variant& v, std::string_view what) {
  if (v.is_number()) return v.as_number();
  if (v.is_text()) {
    double d;
    if (host::parse_decimal(v.as_text(), &d, true)) return d;
  }
  throw refused(what);
}

int32_t whole_number(const Variant& v, std::string_view what, int32_t lo, int32_t hi) {
  const double d = number_of(v, what);
  const double r = std::nearbyint(d);
  if (!(r >= lo && r <= hi)) throw refused(what);
  return static_cast<int32_t>(r);
}

bool boolean_of(const Variant& v, std::string_view what) {
  if (v.is_bool()) return v.as_bool();
  if (v.is_number()) return v.as_number() != 0;
  if (v.is_text()) {
    try {
      return v.to_bool();
    } catch (const HostError&) {
    }
  }
  throw refused(what);
}

bool valid_paper(int32_t code) {
  return (code >= 1 && code <= 118 && code != 48 && code != 49) || code == 256;
}

const char* property_name(PageSetupProperty p) {
  switch (p) {
    case PageSetupProperty::LeftHeader:
      return "LeftHeader";
    case PageSetupProperty::CenterHeader:
      return "CenterHeader";
    case PageSetupProperty::RightHeader:
      return "RightHeader";
    case PageSetupProperty::LeftFooter:
      return "LeftFooter";
    case PageSetupProperty::CenterFooter:
      return "CenterFooter";
    case PageSetupProperty::RightFooter:
      return "RightFooter";
    case PageSetupProperty::TopMargin:
      return "TopMargin";
    case PageSetupProperty::BottomMargin:
      return "BottomMargin";
    case PageSetupProperty::LeftMargin:
      return "LeftMargin";
    case PageSetupProperty::RightMargin:
      return "RightMargin";
    case PageSetupProperty::HeaderMargin:
      return "HeaderMargin";
    case PageSetupProperty::FooterMargin:
      return "FooterMargin";
    case PageSetupProperty::Orientation:
      return "Orientation";
    case PageSetupProperty::PaperSize:
      return "PaperSize";
    case PageSetupProperty::Zoom:
      return "Zoom";
    case PageSetupProperty::FitToPagesWide:
      return "FitToPagesWide";
    case PageSetupProperty::FitToPagesTall:
      return "FitToPagesTall";
    case PageSetupProperty::PrintQuality:
      return "PrintQuality";
    case PageSetupProperty::CenterHorizontally:
      return "CenterHorizontally";
    case PageSetupProperty::CenterVertically:
      return "CenterVertically";
  }
  return "?";
}

double* margin_of(PageSetupModel& m, PageSetupProperty p) {
  switch (p) {
    case PageSetupProperty::TopMargin:
      return &m.top_margin;
    case PageSetupProperty::BottomMargin:
      return &m.bottom_margin;
    case PageSetupProperty::LeftMargin:
      return &m.left_margin;
    case PageSetupProperty::RightMargin:
      return &m.right_margin;
    case PageSetupProperty::HeaderMargin:
      return &m.header_margin;
    case PageSetupProperty::FooterMargin:
      return &m.footer_margin;
    default:
      return nullptr;
  }
}

// The section a header/footer property names: (string, which section).
std::string* hf_string(PageSetupModel& m, PageSetupProperty p, std::string Sections::** part) {
  switch (p) {
    case PageSetupProperty::LeftHeader:
      *part = &Sections::left;
      return &m.header_footer.odd_header;
    case PageSetupProperty::CenterHeader:
      *part = &Sections::center;
      return &m.header_footer.odd_header;
    case PageSetupProperty::RightHeader:
      *part = &Sections::right;
      return &m.header_footer.odd_header;
    case PageSetupProperty::LeftFooter:
      *part = &Sections::left;
      return &m.header_footer.odd_footer;
    case PageSetupProperty::CenterFooter:
      *part = &Sections::center;
      return &m.header_footer.odd_footer;
    case PageSetupProperty::RightFooter:
      *part = &Sections::right;
      return &m.header_footer.odd_footer;
    default:
      return nullptr;
  }
}

}  // namespace

Variant EngineSheet::page_setup_value(PageSetupProperty p) const {
  PageSetupModel& m = sheet_->page_setup;
  std::string Sections::*part = nullptr;
  if (std::string* s = hf_string(m, p, &part)) return Variant(split_sections(*s).*part);
  if (double* margin = margin_of(m, p)) return Variant(*margin * 72);
  switch (p) {
    case PageSetupProperty::Orientation:
      return Variant(m.orientation == 2 ? 2 : 1);
    case PageSetupProperty::PaperSize:
      return Variant(m.paper_size);
    case PageSetupProperty::Zoom:
      return m.fit_to_page ? Variant(false) : Variant(m.scale);
    case PageSetupProperty::FitToPagesWide:
      return Variant(m.fit_to_width);
    case PageSetupProperty::FitToPagesTall:
      return Variant(m.fit_to_height);
    case PageSetupProperty::PrintQuality:
      return Variant(m.horizontal_dpi);
    case PageSetupProperty::CenterHorizontally:
      return Variant(m.horizontal_centered);
    case PageSetupProperty::CenterVertically:
      return Variant(m.vertical_centered);
    default:
      break;
  }
  throw refused(property_name(p));
}

void EngineSheet::set_page_setup_value(PageSetupProperty p, const Variant& v) {
  PageSetupModel& m = sheet_->page_setup;
  const char* what = property_name(p);
  std::string Sections::*part = nullptr;
  if (std::string* s = hf_string(m, p, &part)) {
    if (v.is_null() || v.is_error()) throw refused(what);
    Sections sections = split_sections(*s);
    sections.*part = v.to_text();
    const std::string joined = join_sections(sections);
    // A header or footer holds at most 255 characters, sections and codes included.
    if (text::length(joined) > 255) throw refused(what);
    *s = joined;
    m.given.header_footer = true;
  } else if (double* margin = margin_of(m, p)) {
    const double pt = number_of(v, what);
    if (!(pt >= 0 && pt < 49 * 72)) throw refused(what);
    *margin = pt / 72;
    m.given.margins = true;
  } else {
    switch (p) {
      case PageSetupProperty::Orientation:
        m.orientation = whole_number(v, what, 1, 2);
        m.given.orientation = true;
        break;
      case PageSetupProperty::PaperSize: {
        const int32_t code = whole_number(v, what, 1, 256);
        if (!valid_paper(code)) throw refused(what);
        m.paper_size = code;
        m.given.paper_size = true;
        break;
      }
      case PageSetupProperty::Zoom:
        if (v.is_bool()) {
          if (v.as_bool()) throw refused(what);
          m.fit_to_page = true;
        } else {
          m.scale = whole_number(v, what, 10, 400);
          m.fit_to_page = false;
          m.given.scale = true;
        }
        break;
      case PageSetupProperty::FitToPagesWide:
      case PageSetupProperty::FitToPagesTall: {
        int32_t n = 0;
        if (v.is_bool()) {
          if (v.as_bool()) throw refused(what);
        } else {
          n = whole_number(v, what, 0, 32767);
        }
        if (p == PageSetupProperty::FitToPagesWide) {
          m.fit_to_width = n;
          m.given.fit_to_width = true;
        } else {
          m.fit_to_height = n;
          m.given.fit_to_height = true;
        }
        break;
      }
      case PageSetupProperty::PrintQuality: {
        const int32_t dpi = whole_number(v, what, 1, 10000);
        m.horizontal_dpi = m.vertical_dpi = dpi;
        m.given.horizontal_dpi = m.given.vertical_dpi = true;
        break;
      }
      case PageSetupProperty::CenterHorizontally:
        m.horizontal_centered = boolean_of(v, what);
        m.given.print_options = true;
        break;
      case PageSetupProperty::CenterVertically:
        m.vertical_centered = boolean_of(v, what);
        m.given.print_options = true;
        break;
      default:
        throw refused(what);
    }
  }
  book_->mark_modified();
}

}  // namespace kelv::spreadsheet
