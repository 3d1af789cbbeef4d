// The value type that crosses the host boundary: cell values, control values,
// page-setup values. Its conversions are those of an automation runtime's
// Variant, the rules the component's arithmetic and comparisons were written
// against: text to number only for a decimal number, Empty as 0 or "",
// rounding half to even. Where that runtime fails they throw HostError
// kTypeMismatch (13), kOverflow (6) or, for Null anywhere but a Boolean,
// kInvalidUseOfNull (94).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace kelv::host {

// Cell error values, in the order the file format lists them.
enum class CellError : uint8_t { Null, Div0, Value, Ref, Name, Num, NA, GettingData };

std::string_view cell_error_text(CellError e);  // "#N/A", "#VALUE!", ...
bool parse_cell_error(std::string_view text, CellError* out);

class Variant {
 public:
  enum class Kind : uint8_t { Empty, Null, Boolean, Number, Text, Error };

  Variant() = default;
  Variant(bool b) : v_(b) {}                           // NOLINT(google-explicit-constructor)
  Variant(double d) : v_(d) {}                         // NOLINT
  Variant(int i) : v_(static_cast<double>(i)) {}       // NOLINT
  Variant(int64_t i) : v_(static_cast<double>(i)) {}   // NOLINT
  Variant(std::string s) : v_(std::move(s)) {}         // NOLINT
  Variant(std::string_view s) : v_(std::string(s)) {}  // NOLINT
  Variant(const char* s) : v_(std::string(s)) {}       // NOLINT
  Variant(CellError e) : v_(e) {}                      // NOLINT

  static Variant null() {
    Variant v;
    v.v_ = NullTag{};
    return v;
  }

  Kind kind() const { return static_cast<Kind>(v_.index()); }
  bool is_empty() const { return kind() == Kind::Empty; }
  bool is_null() const { return kind() == Kind::Null; }
  bool is_bool() const { return kind() == Kind::Boolean; }
  bool is_number() const { return kind() == Kind::Number; }
  bool is_text() const { return kind() == Kind::Text; }
  bool is_error() const { return kind() == Kind::Error; }

  // Unchecked accessors; call only after testing the kind.
  bool as_bool() const { return std::get<bool>(v_); }
  double as_number() const { return std::get<double>(v_); }
  const std::string& as_text() const { return std::get<std::string>(v_); }
  CellError as_error() const { return std::get<CellError>(v_); }

  // Conversions of the runtime. Each throws HostError on failure.
  std::string to_text() const;  // empty -> "", True/False, shortest 15-digit number
  int32_t to_int32() const;     // banker's rounding; 13 on mismatch, 6 on overflow
  int16_t to_int16() const;
  bool to_bool() const;  // null counts as False (check boxes)
  float to_single() const;
  double to_double() const;  // like to_single without narrowing

  // Exact structural equality (same kind, same payload).
  bool operator==(const Variant& o) const = default;

 private:
  struct NullTag {
    bool operator==(const NullTag&) const = default;
  };
  std::variant<std::monostate, NullTag, bool, double, std::string, CellError> v_;
};

// Equality of two cell values as the component compares them: numbers
// numerically, texts exactly, empty equals empty and "", a number never equals
// a text, Booleans only Booleans.
bool values_equal(const Variant& a, const Variant& b);

// A cell compared with a literal text: the cell's text conversion against the
// literal. Errors compare unequal instead of failing.
bool text_equals(const Variant& cell, std::string_view literal);

// Number formatting of the runtime's text conversion: up to 15 significant
// digits, no trailing zeros, exponent form ("1E+20") only when needed.
std::string number_to_text(double d);

// Parse a decimal number (optional sign, digits, one decimal point, optional
// exponent; surrounding spaces allowed when trim is true). Returns false when
// the text is not such a number.
bool parse_decimal(std::string_view text, double* out, bool trim);

}  // namespace kelv::host
