#include "spreadsheet/cell_value.h"

#include <limits>
#include <stdexcept>

namespace kelv::spreadsheet {

CellValue::CellValue(const host::Variant& v) {
  switch (v.kind()) {
    case Kind::Empty:
      set_tag(Kind::Empty);
      break;
    case Kind::Null:
      set_tag(Kind::Null);
      break;
    case Kind::Boolean:
      bytes_[0] = v.as_bool() ? 1 : 0;
      set_tag(Kind::Boolean);
      break;
    case Kind::Number:
      set_number(v.as_number());
      break;
    case Kind::Text:
      set_text(v.as_text());
      break;
    case Kind::Error:
      bytes_[0] = static_cast<unsigned char>(v.as_error());
      set_tag(Kind::Error);
      break;
  }
}

void CellValue::set_text(std::string_view s) {
  if (s.size() <= kInline) {
    if (!s.empty()) std::memcpy(bytes_, s.data(), s.size());
    set_tag(Kind::Text, static_cast<unsigned char>(s.size() << 4));
    return;
  }
  // Texts are bounded far below this by every reader; a longer one would
  // not fit the length field.
  if (s.size() > std::numeric_limits<uint32_t>::max()) throw std::length_error("cell text");
  char* p = new char[s.size()];
  std::memcpy(p, s.data(), s.size());
  const auto n = static_cast<uint32_t>(s.size());
  std::memcpy(bytes_, &p, sizeof p);
  std::memcpy(bytes_ + sizeof p, &n, sizeof n);
  set_tag(Kind::Text, kHeap);
}

host::Variant CellValue::variant() const {
  switch (kind()) {
    case Kind::Empty:
      return {};
    case Kind::Null:
      return host::Variant::null();
    case Kind::Boolean:
      return as_bool();
    case Kind::Number:
      return as_number();
    case Kind::Text:
      return host::Variant(as_text());
    case Kind::Error:
      return as_error();
  }
  return {};
}

std::string CellValue::to_text() const {
  if (is_text()) return std::string(as_text());
  return variant().to_text();
}

bool CellValue::operator==(const CellValue& o) const {
  if (kind() != o.kind()) return false;
  switch (kind()) {
    case Kind::Empty:
    case Kind::Null:
      return true;
    case Kind::Boolean:
      return as_bool() == o.as_bool();
    case Kind::Number:
      return as_number() == o.as_number();
    case Kind::Text:
      return as_text() == o.as_text();
    case Kind::Error:
      return as_error() == o.as_error();
  }
  return false;
}

bool CellValue::operator==(const host::Variant& v) const {
  if (kind() != v.kind()) return false;
  switch (kind()) {
    case Kind::Empty:
    case Kind::Null:
      return true;
    case Kind::Boolean:
      return as_bool() == v.as_bool();
    case Kind::Number:
      return as_number() == v.as_number();
    case Kind::Text:
      return as_text() == v.as_text();
    case Kind::Error:
      return as_error() == v.as_error();
  }
  return false;
}

}  // namespace kelv::spreadsheet
