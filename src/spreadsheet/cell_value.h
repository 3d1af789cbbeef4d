// A stored cell's value and formula, as the model keeps them: what a
// host::Variant holds for a cell in 16 bytes, and the formula in one
// pointer, so that a cell takes 32 bytes. An examinee row is mostly short
// texts (a name, a school, a class, an exam number): texts of up to 15
// bytes are held inside the value, longer ones in one allocation of their
// exact size. A million examinees in sixteen columns are sixteen million
// cells; at 64 bytes a cell the model alone took a gigabyte.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "host/variant.h"

namespace kelv::spreadsheet {

class CellValue {
 public:
  using Kind = host::Variant::Kind;

  CellValue() noexcept { set_tag(Kind::Empty); }
  // A cell takes any value a Variant holds, as it was written.
  CellValue(const host::Variant& v);                        // NOLINT(google-explicit-constructor)
  CellValue(double d) noexcept { set_number(d); }           // NOLINT(google-explicit-constructor)
  CellValue(int i) noexcept { set_number(i); }              // NOLINT(google-explicit-constructor)
  CellValue(int64_t i) noexcept { set_number(double(i)); }  // NOLINT(google-explicit-constructor)
  CellValue(bool b) noexcept {                              // NOLINT(google-explicit-constructor)
    bytes_[0] = b ? 1 : 0;
    set_tag(Kind::Boolean);
  }
  CellValue(host::CellError e) noexcept {  // NOLINT(google-explicit-constructor)
    bytes_[0] = static_cast<unsigned char>(e);
    set_tag(Kind::Error);
  }
  CellValue(std::string_view text) { set_text(text); }    // NOLINT(google-explicit-constructor)
  CellValue(const std::string& text) { set_text(text); }  // NOLINT(google-explicit-constructor)
  CellValue(const char* text) { set_text(text); }         // NOLINT(google-explicit-constructor)
  static CellValue null() noexcept {
    CellValue v;
    v.set_tag(Kind::Null);
    return v;
  }

  CellValue(const CellValue& o) {
    if (o.on_heap()) {
      set_text(o.as_text());
    } else {
      std::memcpy(bytes_, o.bytes_, sizeof bytes_);
    }
  }
  CellValue(CellValue&& o) noexcept {
    std::memcpy(bytes_, o.bytes_, sizeof bytes_);
    o.set_tag(Kind::Empty);
  }
  CellValue& operator=(const CellValue& o) {
    if (this != &o) {
      CellValue copy(o);
      *this = std::move(copy);
    }
    return *this;
  }
  CellValue& operator=(CellValue&& o) noexcept {
    if (this != &o) {
      release();
      std::memcpy(bytes_, o.bytes_, sizeof bytes_);
      o.set_tag(Kind::Empty);
    }
    return *this;
  }
  ~CellValue() { release(); }

  Kind kind() const { return static_cast<Kind>(bytes_[kTag] & kKindMask); }
  bool is_empty() const { return kind() == Kind::Empty; }
  bool is_null() const { return kind() == Kind::Null; }
  bool is_bool() const { return kind() == Kind::Boolean; }
  bool is_number() const { return kind() == Kind::Number; }
  bool is_text() const { return kind() == Kind::Text; }
  bool is_error() const { return kind() == Kind::Error; }

  // Unchecked accessors; call only after testing the kind.
  bool as_bool() const { return bytes_[0] != 0; }
  double as_number() const {
    double d = 0;
    std::memcpy(&d, bytes_, sizeof d);
    return d;
  }
  host::CellError as_error() const { return static_cast<host::CellError>(bytes_[0]); }
  std::string_view as_text() const {
    if (on_heap()) {
      const char* p = nullptr;
      uint32_t n = 0;
      std::memcpy(&p, bytes_, sizeof p);
      std::memcpy(&n, bytes_ + sizeof p, sizeof n);
      return {p, n};
    }
    return {reinterpret_cast<const char*>(bytes_), static_cast<size_t>(bytes_[kTag] >> 4)};
  }

  // The value as the host interfaces carry it.
  host::Variant variant() const;
  operator host::Variant() const { return variant(); }  // NOLINT(google-explicit-constructor)

  // The runtime's conversions, as host::Variant has them.
  std::string to_text() const;
  int32_t to_int32() const { return variant().to_int32(); }
  double to_double() const { return variant().to_double(); }

  // Exact equality: the same kind and payload, as host::Variant's ==.
  bool operator==(const CellValue& o) const;
  bool operator==(const host::Variant& v) const;

 private:
  static constexpr size_t kTag = 15;
  static constexpr unsigned char kKindMask = 0x07;
  static constexpr unsigned char kHeap = 0x08;
  static constexpr size_t kInline = 15;

  bool on_heap() const { return (bytes_[kTag] & kHeap) != 0; }
  void set_tag(Kind k, unsigned char extra = 0) {
    bytes_[kTag] = static_cast<unsigned char>(static_cast<unsigned char>(k) | extra);
  }
  void set_number(double d) noexcept {
    std::memcpy(bytes_, &d, sizeof d);
    set_tag(Kind::Number);
  }
  void set_text(std::string_view s);
  void release() noexcept {
    if (!on_heap()) return;
    char* p = nullptr;
    std::memcpy(&p, bytes_, sizeof p);
    delete[] p;
    set_tag(Kind::Empty);
  }

  alignas(8) unsigned char bytes_[16];
};

// A formula as stored: A1 text without "=", as the file format writes it.
struct Formula {
  std::string text;
  std::string array_ref;  // an array formula's range ("A1:B2"); "" for ordinary formulas
};

// A cell's formula, null for constants; copies share it. A cell holds one
// pointer: formulas are few, and a formula cell pays for a small holder.
// How many non-null holders exist is counted, so that work over a large
// table (moving sorted rows) can skip looking for formulas to adjust when
// nothing anywhere holds one.
class FormulaRef {
 public:
  FormulaRef() noexcept = default;
  FormulaRef(std::nullptr_t) noexcept {}        // NOLINT(google-explicit-constructor)
  FormulaRef(std::shared_ptr<const Formula> f)  // NOLINT(google-explicit-constructor)
      : p_(f ? held(new std::shared_ptr<const Formula>(std::move(f))) : nullptr) {}
  FormulaRef(std::shared_ptr<Formula> f)  // NOLINT(google-explicit-constructor)
      : FormulaRef(std::shared_ptr<const Formula>(std::move(f))) {}
  FormulaRef(const FormulaRef& o)
      : p_(o.p_ ? held(new std::shared_ptr<const Formula>(*o.p_)) : nullptr) {}
  FormulaRef(FormulaRef&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  FormulaRef& operator=(FormulaRef o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~FormulaRef() { reset(); }

  explicit operator bool() const { return p_ != nullptr; }
  bool operator==(std::nullptr_t) const { return p_ == nullptr; }
  const Formula* get() const { return p_ ? p_->get() : nullptr; }
  const Formula* operator->() const { return p_->get(); }
  const Formula& operator*() const { return **p_; }
  void reset() noexcept {
    if (!p_) return;
    delete p_;
    p_ = nullptr;
    held_count.fetch_sub(1, std::memory_order_relaxed);
  }
  std::shared_ptr<const Formula> shared() const { return p_ ? *p_ : nullptr; }
  operator std::shared_ptr<const Formula>() const { return shared(); }  // NOLINT

  // Whether any formula is held anywhere in the process. Readers fill
  // sheets on several threads; a caller asks between such steps.
  static bool any_held() { return held_count.load(std::memory_order_relaxed) != 0; }

 private:
  static std::shared_ptr<const Formula>* held(std::shared_ptr<const Formula>* p) {
    held_count.fetch_add(1, std::memory_order_relaxed);
    return p;
  }
  static inline std::atomic<int64_t> held_count{0};
  std::shared_ptr<const Formula>* p_ = nullptr;
};

}  // namespace kelv::spreadsheet
