// Code pictures at scale: 100,000 exam numbers' Code 128 encoded and made
// into the pictures a seat label holds (179 × 27 points, the text under the
// bars), each step timed on its own, best of 3.
//
//   codes_bench [COUNT]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_util.h"
#include "codes/symbol.h"

namespace {

using namespace kelv;
using bench::Clock;
using bench::seconds_since;

}  // namespace

int main(int argc, char** argv) {
  const int32_t count = argc > 1 ? std::atoi(argv[1]) : 100000;
  std::vector<codes::Symbol> symbols;
  symbols.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i)
    symbols.push_back({codes::Symbology::Code128, true, "2024" + bench::padded(i + 1, 6)});
  double encode_best = 1e9, png_best = 1e9;
  size_t bytes = 0;
  for (int round = 0; round < 3; ++round) {
    std::vector<codes::Modules> modules(symbols.size());
    Clock::time_point t = Clock::now();
    for (size_t i = 0; i < symbols.size(); ++i) (void)codes::encode(symbols[i], modules[i]);
    encode_best = std::min(encode_best, seconds_since(t));
    t = Clock::now();
    bytes = 0;
    for (const codes::Modules& m : modules) bytes += codes::png(m, 179, 27).size();
    png_best = std::min(png_best, seconds_since(t));
  }
  std::printf(
      "%d codes: encode %.3f s (%.2f us each), picture %.3f s (%.2f us each), %.0f bytes a "
      "picture\n",
      count, encode_best, encode_best * 1e6 / count, png_best, png_best * 1e6 / count,
      static_cast<double>(bytes) / count);
  return 0;
}
