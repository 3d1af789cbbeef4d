// What the engine does not model but a load and save must keep: worksheet
// elements and package parts carried as they were read. Only the .xlsx layer
// reads or writes their text; the engine copies them along with their sheet
// and, moving a sheet to another workbook, leaves behind the elements marked
// as referring to parts of its own package or its own workbook.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace kelv::spreadsheet {

// A worksheet child element kept as raw XML, with its position in the
// worksheet element sequence so the writer can put it back in schema order.
struct RawElement {
  int32_t order = 0;
  std::string xml;
  // It names another part of the package (a relationship id) or one of the
  // workbook's differential formats (a dxfId), so it means nothing in
  // another workbook.
  bool refers_to_parts = false;
};

// A relationship of a part to another part carried through.
struct RawRelationship {
  std::string id;
  std::string type;
  std::string target;
  bool external = false;
};

// A package part carried through byte for byte.
struct RawPart {
  std::string path;          // inside the package, no leading "/"
  std::string content_type;  // "" when covered by a Default extension
  std::shared_ptr<const std::string> data;
};

struct SheetPassthrough {
  std::vector<RawElement> elements;
  std::vector<RawRelationship> relationships;
  std::vector<std::string> drawing_anchors;  // non-picture drawing anchors, as XML
  std::vector<RawRelationship> drawing_relationships;
  std::string sheet_pr_extra;  // attributes/children of sheetPr not modelled
  // Namespace declarations (and mc:Ignorable) of the worksheet and drawing
  // roots as written, so the raw elements keep their prefixes.
  std::string root_namespaces;
  std::string drawing_namespaces;
  // Attributes of modelled elements that the engine does not model, as
  // written (` codeName="Sheet1"`, ` view="pageBreakPreview"`, ` r:id="rId1"`).
  std::string sheet_pr_attributes;
  std::string page_setup_pr_attributes;
  std::string sheet_view_attributes;
  std::string sheet_format_attributes;
  // Of pageSetup: without the page order (PageSetupModel::page_order) and
  // the reference to the printer settings part, which are kept apart.
  std::string page_setup_attributes;
  // The page setup's references to other parts (` r:id="rId2"`), as
  // written; left behind when the sheet moves to another workbook.
  std::string page_setup_references;
  // Where the page order and those references stood among the attributes
  // not modelled: how many came before each (-1: none was read).
  int32_t page_order_slot = -1;
  int32_t page_setup_references_slot = -1;
  // The sheet's column breaks as the file gave them, whose own spelling (a
  // <colBreaks> element) is kept in `elements`: written as it was while
  // Sheet::column_breaks are still these.
  std::set<int32_t> column_breaks_read;
  // The file had no sheetFormatPr: while the defaults stay as read, none is
  // written either.
  bool sheet_format_absent = false;
  // A split that is not frozen: its <pane> attributes as written (the split
  // is measured in twentieths of a point, which the engine does not model)
  // and the pane its selection belongs to. Written while the engine has no
  // split or frozen panes of its own for the sheet.
  std::string split_pane_attributes;
  std::string split_active_pane;
};

// A sheet of a kind the engine does not model (a chart sheet, a dialog or
// macro sheet), kept in its place among the sheets with its part carried.
struct RawSheet {
  int32_t position = 0;    // index among all the file's sheets
  std::string attributes;  // of its <sheet> entry (name, state, ...), as written
  RawRelationship relationship;
  // Its own defined names: attributes other than localSheetId, and the value.
  std::vector<std::pair<std::string, std::string>> defined_names;
  // The workbook's active tab, until a worksheet is activated.
  bool active = false;
};

struct WorkbookPassthrough {
  std::vector<RawPart> parts;                           // untouched parts
  std::vector<RawRelationship> workbook_relationships;  // beyond sheets, styles, strings, theme
  std::vector<RawRelationship> package_relationships;   // beyond the workbook
  std::vector<std::pair<std::string, std::string>> default_content_types;  // extension, type
  std::string theme_xml;
  std::string workbook_pr_xml;
  // Attributes of the workbook window not modelled (its size and place,
  // scroll bars, tab bar), as written.
  std::string workbook_view_attributes;
  std::vector<std::string> workbook_extra_elements;
  std::string styles_extra_xml;     // dxfs, tableStyles, colors, ... as written
  std::string workbook_namespaces;  // declarations on the workbook root
  std::string styles_namespaces;    // declarations on the styleSheet root
  // The file's own font, fill and border entries and named-style formats, in
  // order: written first so cellStyleXfs indices stay valid.
  std::vector<std::string> style_fonts, style_fills, style_borders;
  std::string cell_style_xfs_xml;
  std::vector<std::pair<int32_t, std::string>> number_formats;  // custom id, code
  std::vector<RawSheet> other_sheets;                           // by position
};

}  // namespace kelv::spreadsheet
