#include "templates/template_catalogue.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include "component/ignore_failures.h"
#include "host/host_error.h"
#include "sheets/settings_sheet.h"
#include "sheets/sheet_lookup.h"
#include "templates/select_template.h"

namespace kelv::templates {

using namespace sheets;  // the settings sheet's layout
namespace {

using component::IgnoreFailure;

constexpr std::string_view kReservedNames[] = {kStartSheet, kBaseSheet, kSettingsSheet};

// Removed from typed names in this order: each ASCII character, then its
// full-width form.
constexpr std::string_view kRemovedCharacters[] = {"[",  "［", "]",  "］", "/",  "／", "\\",
                                                   "＼", "?",  "？", "*",  "＊", ":",  "："};

// Upper case by simple per-character mapping, as the runtime's UCase does
// ("ß" stays, full-width ｂ becomes Ｂ). Invalid UTF-8 passes through.
std::string UCase(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  int32_t i = 0;
  const auto n = static_cast<int32_t>(s.size());
  while (i < n) {
    const int32_t start = i;
    UChar32 c;
    U8_NEXT(s.data(), i, n, c);
    if (c < 0) {
      out.append(s.substr(start, i - start));
      continue;
    }
    const UChar32 u = u_toupper(c);
    char buf[U8_MAX_LENGTH];
    int32_t len = 0;
    U8_APPEND_UNSAFE(buf, len, u);
    out.append(buf, len);
  }
  return out;
}

// The runtime's Trim: spaces only, not tabs or ideographic spaces.
std::string_view Trim(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

std::string ReplaceAll(std::string s, std::string_view what, std::string_view with) {
  for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + with.size()))
    s.replace(at, what.size(), with);
  return s;
}

bool IsReserved(std::string_view candidate) {
  for (std::string_view r : kReservedNames)
    if (candidate == r) return true;
  return false;
}

// Whether a sheet of the host workbook already bears the name, ignoring
// letter case; the host would refuse it as a sheet name.
bool SheetNameTaken(host::Application& EA, std::string_view candidate) {
  const std::string wanted = UCase(candidate);
  for (host::Worksheet& sheet : EA.this_workbook().worksheets())
    if (UCase(sheet.name()) == wanted) return true;
  return false;
}

// A step that needs an object an earlier, failed step should have provided
// fails in turn (and is ignored by its caller), as an unset object does.
// Whether the host can give a sheet this name: 1 to 31 characters, not
// beginning or ending with an apostrophe (the removed characters are gone).
bool FitsASheetName(std::string_view candidate) {
  int32_t characters = 0;
  for (unsigned char ch : candidate)
    if ((ch & 0xC0) != 0x80) ++characters;
  return characters >= 1 && characters <= 31 && candidate.front() != '\'' &&
         candidate.back() != '\'';
}

template <class T>
T& Need(T* object) {
  if (object == nullptr) throw host::HostError::host(host::kObjectNotSet);
  return *object;
}

int32_t CatalogueRowCount(host::Worksheet& DTB) {
  return DTB.cells(kCatalogueHeadingRow, kNameColumn).current_region().rows_count();
}

// Re-sorts rows 2..n of the catalogue by name, each template's whole row
// D..AN moving together, so its flag and stored page setup stay with it.
void SortCatalogue(host::Worksheet& DTB, int32_t n) {
  DTB.range(DTB.cells(kCatalogueHeadingRow, kFlagColumn), DTB.cells(n, kCatalogueLastColumn))
      .sort(DTB.cells(kCatalogueHeadingRow, kNameColumn), host::SortOrder::Ascending,
            host::SortHeader::Yes);
}

// A name is stored as the text it is: "0012" or "1E5" must not turn into a
// number that no longer matches its sheet's name.
host::Variant AsText(std::string_view name) {
  std::string entry = "'";
  entry += name;
  return host::Variant(std::move(entry));
}

void AskAgain(component::Component& self, std::string_view prompt, std::string_view title,
              std::string& candidate) {
  candidate = self.dialogs.input_box(prompt, title, candidate);
}

}  // namespace

std::string TemplateCaption(std::string_view name) {
  std::string caption = "<";
  caption += name;
  caption += " 模板设计>";
  return caption;
}

std::string CleanTemplateName(std::string_view typed) {
  std::string name = UCase(Trim(typed));
  for (std::string_view removed : kRemovedCharacters)
    name = ReplaceAll(std::move(name), removed, "");
  return name;
}

void FillTemplateList(component::Component&, host::Application& EA, host::Form& UF) {
  host::Control& LtbMoBan = UF["LtbMoBan"];
  LtbMoBan.clear();
  host::Worksheet& DTB = EA.this_workbook().worksheets().item(kSettingsSheet);
  const int32_t n = CatalogueRowCount(DTB);
  for (int32_t r = kCatalogueFirstRow; r <= n; ++r) {
    LtbMoBan.add_item(DTB.cells(r, kNameColumn).value());
    if (host::values_equal(DTB.cells(r, kFlagColumn).value(), host::Variant(true)))
      LtbMoBan.set_selected(r - kCatalogueFirstRow, true);
  }
}

std::string AskTemplateName(component::Component& self, host::Application& EA, host::Worksheet& DTB,
                            int32_t n, std::string_view prompt, std::string_view title,
                            std::string candidate) {
  AskAgain(self, prompt, title, candidate);
  bool accepted = false;
  while (!accepted) {
    candidate = CleanTemplateName(candidate);
    // Cancel, an empty entry or nothing left after cleaning ends the
    // dialogue at once.
    if (candidate.empty()) return candidate;
    if (!IsReserved(candidate)) {
      accepted = true;
    } else {
      ShowNotice(self, "“" + candidate + "”与系统表名相同，请改名。");
      AskAgain(self, prompt, title, candidate);
    }
    for (int32_t i = kCatalogueFirstRow; i <= n; ++i) {
      if (host::text_equals(DTB.cells(i, kNameColumn).value(), candidate)) {
        ShowNotice(self, "“" + candidate + "”与已有模板名相同，请改名。");
        AskAgain(self, prompt, title, candidate);
        accepted = false;
        break;
      }
    }
    // A sheet outside the catalogue already bearing the name would make the
    // host refuse it as the template sheet's name.
    if (accepted && SheetNameTaken(EA, candidate)) {
      ShowNotice(self, "“" + candidate + "”与系统表名相同，请改名。");
      AskAgain(self, prompt, title, candidate);
      accepted = false;
    }
    // A name the host refuses for a sheet would leave the catalogue and the
    // template sheets out of step.
    if (accepted && !FitsASheetName(candidate)) {
      ShowNotice(self,
                 "“" + candidate + "”不能用作工作表名（最多31个字符，首尾不能是单引号），请改名。");
      AskAgain(self, prompt, title, candidate);
      accepted = false;
    }
  }
  return candidate;
}

void AddTemplate(component::Component& self, host::Application& EA, host::Form& UF) {
  // Without the base sheet there is nothing to copy: refuse before anything
  // changes, so no other sheet is taken for the copy.
  bool has_base = false;
  IgnoreFailure([&] { has_base = SheetExists(EA.this_workbook().worksheets(), kBaseSheet); });
  if (!has_base) {
    ShowNotice(self, "缺少模板底表“MBB”，无法添加模板。");
    return;
  }

  host::Worksheet* DTB = nullptr;
  std::string name;
  int32_t n = 0;
  IgnoreFailure([&] { DTB = &EA.this_workbook().worksheets().item(kSettingsSheet); });
  IgnoreFailure([&] { n = CatalogueRowCount(Need(DTB)); });
  IgnoreFailure([&] {
    name = AskTemplateName(self, EA, Need(DTB), n, "请输入要添加的模板名:", "添加模板", name);
  });
  if (name.empty()) return;

  IgnoreFailure([&] { Need(DTB).columns(kFlagColumn).clear(); });
  const int32_t row = n + 1;
  IgnoreFailure([&] { Need(DTB).cells(row, kFlagColumn).set_value(true); });
  IgnoreFailure([&] { Need(DTB).cells(row, kNameColumn).set_value(AsText(name)); });
  IgnoreFailure([&] { Need(DTB).cells(row, kRowsPerPageColumn).set_value(kNewRowsPerPage); });
  IgnoreFailure([&] { Need(DTB).cells(row, kColsAcrossColumn).set_value(kNewColsAcross); });
  IgnoreFailure([&] { Need(DTB).cells(row, kRowSpacingColumn).set_value(kNewRowSpacing); });
  IgnoreFailure([&] { Need(DTB).cells(row, kColSpacingColumn).set_value(kNewColSpacing); });
  IgnoreFailure([&] { Need(DTB).cells(row, kSortNameColumn).set_value(kNoColumn); });
  IgnoreFailure([&] { Need(DTB).cells(row, kPageNameColumn).set_value(kNoColumn); });
  IgnoreFailure([&] { Need(DTB).cells(row, kAcrossFirstColumn).set_value(kNewAcrossFirst); });
  IgnoreFailure([&] { Need(DTB).cells(row, kDataSourceColumn).set_value(kNewDataSource); });
  IgnoreFailure([&] { SortCatalogue(Need(DTB), row); });

  host::Worksheet* MBB = nullptr;
  host::Worksheet* copy = nullptr;
  IgnoreFailure([&] { MBB = &EA.this_workbook().worksheets().item(kBaseSheet); });
  IgnoreFailure([&] { Need(MBB).set_visible(host::SheetVisibility::Visible); });
  IgnoreFailure([&] {
    Need(MBB).copy_after(*MBB);
    copy = &EA.this_workbook().active_sheet();
  });
  IgnoreFailure([&] { Need(MBB).set_visible(host::SheetVisibility::VeryHidden); });
  // Only the copy is named; if the copy was not made, no other sheet is.
  IgnoreFailure([&] { Need(copy).set_name(name); });
  IgnoreFailure([&] { Need(copy).cells(1, 1).set_value(TemplateCaption(name)); });

  IgnoreFailure([&] { FillTemplateList(self, EA, UF); });
  IgnoreFailure([&] { SelectTemplate(self, EA, UF); });
}

void DeleteTemplate(component::Component& self, host::Application& EA, host::Form& UF) {
  int32_t row = 0;
  IgnoreFailure([&] { row = UF["LtbMoBan"].list_index() + kCatalogueFirstRow; });
  if (row <= kCatalogueHeadingRow) return;
  std::string name;
  IgnoreFailure([&] { name = UF["LtbMoBan"].value().to_text(); });

  host::MessageResult answer = host::MessageResult::No;
  IgnoreFailure([&] {
    answer =
        self.dialogs.message_box("确实要删除<" + name + " 模板设计>吗？",
                                 host::MessageButtons::YesNo, host::MessageIcon::None, "删除模板");
  });
  if (answer != host::MessageResult::Yes) return;

  host::Worksheet* DTB = nullptr;
  int32_t n = 0;
  IgnoreFailure([&] { DTB = &EA.this_workbook().worksheets().item(kSettingsSheet); });
  IgnoreFailure([&] { n = CatalogueRowCount(Need(DTB)); });
  IgnoreFailure([&] {
    Need(DTB)
        .range(DTB->cells(row, kFlagColumn), DTB->cells(row, kCatalogueLastColumn))
        .delete_shift_up();
  });
  // Flag the neighbour: the new last template when the last was deleted,
  // otherwise the one that moved up into the row.
  if (row == n) {
    IgnoreFailure([&] { Need(DTB).cells(row - 1, kFlagColumn).set_value(true); });
  } else {
    IgnoreFailure([&] { Need(DTB).cells(row, kFlagColumn).set_value(true); });
  }

  bool has_sheet = false;
  IgnoreFailure([&] { has_sheet = SheetExists(EA.this_workbook().worksheets(), name); });
  if (has_sheet) {
    host::Worksheet* sheet = nullptr;
    IgnoreFailure([&] { sheet = &EA.this_workbook().worksheets().item(name); });
    IgnoreFailure([&] { Need(sheet).set_visible(host::SheetVisibility::Visible); });
    IgnoreFailure([&] { Need(sheet).delete_sheet(); });
  }

  IgnoreFailure([&] { FillTemplateList(self, EA, UF); });
  IgnoreFailure([&] { SelectTemplate(self, EA, UF); });
}

void RenameTemplate(component::Component& self, host::Application& EA, host::Form& UF) {
  int32_t row = 0;
  IgnoreFailure([&] { row = UF["LtbMoBan"].list_index() + kCatalogueFirstRow; });
  if (row <= kCatalogueHeadingRow) return;

  host::Worksheet* DTB = nullptr;
  std::string old_name, name;
  int32_t n = 0;
  IgnoreFailure([&] { DTB = &EA.this_workbook().worksheets().item(kSettingsSheet); });
  IgnoreFailure([&] { old_name = UF["LtbMoBan"].value().to_text(); });
  std::string candidate = old_name;
  IgnoreFailure([&] { n = CatalogueRowCount(Need(DTB)); });
  IgnoreFailure([&] {
    name = AskTemplateName(self, EA, Need(DTB), n, "请输入新的模板名:", "模板改名", candidate);
  });
  if (name.empty()) return;

  IgnoreFailure([&] { Need(DTB).cells(row, kNameColumn).set_value(AsText(name)); });
  IgnoreFailure([&] { SortCatalogue(Need(DTB), n); });

  host::Worksheet* sheet = nullptr;
  IgnoreFailure([&] { sheet = &EA.this_workbook().worksheets().item(old_name); });
  IgnoreFailure([&] { Need(sheet).set_visible(host::SheetVisibility::Visible); });
  IgnoreFailure([&] { Need(sheet).cells(1, 1).set_value(TemplateCaption(name)); });
  IgnoreFailure([&] { Need(sheet).set_name(name); });

  IgnoreFailure([&] { FillTemplateList(self, EA, UF); });
}

}  // namespace kelv::templates
