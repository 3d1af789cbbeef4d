#include "host/variant.h"

#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "host/host_error.h"

namespace kelv::host {
namespace {

constexpr std::string_view kErrorTexts[] = {"#NULL!", "#DIV/0!", "#VALUE!", "#REF!",
                                            "#NAME?", "#NUM!",   "#N/A",    "#GETTING_DATA"};

bool iequals_ascii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

HostError invalid_null() {
  return HostError::host(kInvalidUseOfNull);
}

// Rounds half to even, as the runtime's integer conversions do.
double round_even(double d) {
  return d - std::remainder(d, 1.0);
}

double number_of(const Variant& v) {
  switch (v.kind()) {
    case Variant::Kind::Empty:
      return 0;
    case Variant::Kind::Boolean:
      return v.as_bool() ? -1 : 0;
    case Variant::Kind::Number:
      return v.as_number();
    case Variant::Kind::Text: {
      double d;
      if (!parse_decimal(v.as_text(), &d, true)) throw HostError::host(kTypeMismatch);
      return d;
    }
    case Variant::Kind::Null:
      throw invalid_null();
    case Variant::Kind::Error:
      break;
  }
  throw HostError::host(kTypeMismatch);
}

}  // namespace

std::string_view cell_error_text(CellError e) {
  return kErrorTexts[static_cast<int>(e)];
}

bool parse_cell_error(std::string_view text, CellError* out) {
  for (size_t i = 0; i < std::size(kErrorTexts); ++i)
    if (text == kErrorTexts[i]) {
      *out = static_cast<CellError>(i);
      return true;
    }
  return false;
}

bool parse_decimal(std::string_view text, double* out, bool trim) {
  if (trim) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  }
  size_t i = 0, n = text.size();
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  while (i < n && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    size_t exp_digits = 0;
    while (i < n && text[i] >= '0' && text[i] <= '9') ++i, ++exp_digits;
    if (exp_digits == 0) return false;
  }
  if (i != n) return false;
  std::string copy(text);
  *out = std::strtod(copy.c_str(), nullptr);
  return std::isfinite(*out);
}

std::string number_to_text(double d) {
  if (d == 0) return "0";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15G", d);
  return buf;
}

std::string Variant::to_text() const {
  switch (kind()) {
    case Kind::Empty:
      return {};
    case Kind::Boolean:
      return as_bool() ? "True" : "False";
    case Kind::Number:
      return number_to_text(as_number());
    case Kind::Text:
      return as_text();
    case Kind::Null:
      throw invalid_null();
    case Kind::Error:
      break;
  }
  throw HostError::host(kTypeMismatch);
}

int32_t Variant::to_int32() const {
  const double r = round_even(number_of(*this));
  if (!(r >= std::numeric_limits<int32_t>::min() && r <= std::numeric_limits<int32_t>::max()))
    throw HostError::host(kOverflow);
  return static_cast<int32_t>(r);
}

int16_t Variant::to_int16() const {
  const double r = round_even(number_of(*this));
  if (!(r >= -32768 && r <= 32767)) throw HostError::host(kOverflow);
  return static_cast<int16_t>(r);
}

bool Variant::to_bool() const {
  switch (kind()) {
    case Kind::Empty:
    case Kind::Null:
      return false;
    case Kind::Boolean:
      return as_bool();
    case Kind::Number:
      return as_number() != 0;
    case Kind::Text: {
      std::string_view t = as_text();
      if (iequals_ascii(t, "true")) return true;
      if (iequals_ascii(t, "false")) return false;
      double d;
      if (parse_decimal(t, &d, true)) return d != 0;
      break;
    }
    case Kind::Error:
      break;
  }
  throw HostError::host(kTypeMismatch);
}

float Variant::to_single() const {
  const double d = number_of(*this);
  if (std::fabs(d) > std::numeric_limits<float>::max()) throw HostError::host(kOverflow);
  return static_cast<float>(d);
}

double Variant::to_double() const {
  return number_of(*this);
}

bool values_equal(const Variant& a, const Variant& b) {
  auto blank = [](const Variant& v) {
    return v.is_empty() || (v.is_text() && v.as_text().empty());
  };
  if (blank(a) || blank(b)) return blank(a) && blank(b);
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case Variant::Kind::Number:
      return a.as_number() == b.as_number();
    case Variant::Kind::Text:
      return a.as_text() == b.as_text();
    case Variant::Kind::Boolean:
      return a.as_bool() == b.as_bool();
    case Variant::Kind::Error:
      return a.as_error() == b.as_error();
    default:
      return true;
  }
}

bool text_equals(const Variant& cell, std::string_view literal) {
  if (cell.is_error()) return cell_error_text(cell.as_error()) == literal;
  if (cell.is_null()) return false;
  return cell.to_text() == literal;
}

}  // namespace kelv::host
