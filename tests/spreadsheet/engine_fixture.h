// An engine without a file format and one fresh workbook, for the engine's
// own tests.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

#include "host/application.h"
#include "host/host_error.h"
#include "spreadsheet/engine.h"
#include "spreadsheet/sheet_dump.h"

namespace kelv::host {

inline void PrintTo(const Variant& v, std::ostream* os) {
  switch (v.kind()) {
    case Variant::Kind::Empty:
      *os << "<empty>";
      break;
    case Variant::Kind::Text:
      *os << '"' << v.as_text() << '"';
      break;
    case Variant::Kind::Error:
      *os << cell_error_text(v.as_error());
      break;
    case Variant::Kind::Null:
      *os << "<null>";
      break;
    case Variant::Kind::Boolean:
      *os << (v.as_bool() ? "True" : "False");
      break;
    case Variant::Kind::Number:
      *os << v.to_text();
      break;
  }
}

}  // namespace kelv::host

namespace kelv::spreadsheet {

class EngineTest : public ::testing::Test {
 protected:
  EngineTest() : engine(nullptr), book(&engine.add_workbook("/tmp/kelv-test/Book.xlsx")) {}

  host::Worksheet& ws() { return book->active_sheet(); }
  Sheet& model() { return Engine::model_of(ws()); }
  host::Range cell(int32_t r, int32_t c) { return ws().cells(r, c); }
  host::Range block(int32_t r1, int32_t c1, int32_t r2, int32_t c2) {
    return ws().range(cell(r1, c1), cell(r2, c2));
  }
  const Cell* stored(int32_t r, int32_t c) {
    Sheet& s = model();
    if (r > static_cast<int32_t>(s.rows.size())) return nullptr;
    for (const Cell& x : s.rows[r - 1].cells)
      if (x.col == c) return &x;
    return nullptr;
  }
  std::string dump() { return dump_sheet(Engine::model_of(*book), model()); }

  static int error_number(const std::function<void()>& f) {
    try {
      f();
    } catch (const host::HostError& e) {
      return e.number();
    }
    return 0;
  }

  Engine engine;
  host::Workbook* book;
};

}  // namespace kelv::spreadsheet
