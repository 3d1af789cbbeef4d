// Page setup properties, read and written as values. Setting a value out of
// range or of the wrong kind throws HostError 1004 and leaves the property
// unchanged.
#pragma once

#include "host/variant.h"

namespace kelv::host {

enum class PageSetupProperty {
  LeftHeader,
  CenterHeader,
  RightHeader,
  LeftFooter,
  CenterFooter,
  RightFooter,  // texts with &P / &N codes
  TopMargin,
  BottomMargin,
  LeftMargin,
  RightMargin,
  HeaderMargin,
  FooterMargin,  // points
  Orientation,   // 1 portrait, 2 landscape
  PaperSize,     // paper code, 9 = A4
  Zoom,          // 10..400, or False for fit-to-pages
  FitToPagesWide,
  FitToPagesTall,
  PrintQuality,  // dots per inch
  CenterHorizontally,
  CenterVertically,  // Booleans
};

class Worksheet;

// Worksheet.PageSetup: a handle on one sheet's page setup.
class PageSetup {
 public:
  explicit PageSetup(Worksheet& sheet) : sheet_(&sheet) {}
  Variant get(PageSetupProperty p) const;
  void set(PageSetupProperty p, const Variant& v);

 private:
  Worksheet* sheet_;
};

}  // namespace kelv::host
