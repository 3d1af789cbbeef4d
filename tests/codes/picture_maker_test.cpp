#include "codes/picture_maker.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace kelv::codes {
namespace {

// What the generator made one code at a time before pictures were made
// ahead: nothing for an empty payload or a code that cannot be encoded.
std::string OneByOne(const PictureOrder& order) {
  Modules modules;
  if (order.symbol.payload.empty() || encode(order.symbol, modules)) return {};
  return png(modules, order.width, order.height);
}

std::vector<PictureOrder> Orders(int count, int first) {
  std::vector<PictureOrder> orders;
  for (int i = first; i < first + count; ++i) {
    PictureOrder o{{i % 5 == 0 ? Symbology::QR : Symbology::Code128, i % 2 == 0,
                    "2024" + std::to_string(100000 + i)},
                   120.0 + i % 7,
                   40.0 + i % 3};
    if (i % 11 == 0) o.symbol.payload.clear();
    if (i % 13 == 0) o.symbol.payload = "考号" + std::to_string(i);  // no Code 128 of Han
    if (i % 17 == 0) o.width = 1;                                    // holds no module
    orders.push_back(o);
  }
  return orders;
}

// Batches started one after another, each finished while the next is made,
// give every picture in its place, byte for byte as made one by one, and
// empty where no picture can be made.
TEST(PictureMaker, BatchesComeBackInTheirOrderAsMadeOneByOne) {
  PictureMaker maker;
  EXPECT_TRUE(maker.finish().pictures.empty());  // none started
  std::vector<std::vector<PictureOrder>> batches = {
      Orders(300, 0), Orders(1, 300), {}, Orders(257, 301)};
  maker.start(batches[0]);
  int empty = 0;
  for (size_t b = 0; b < batches.size(); ++b) {
    const Pictures made = maker.finish();
    const std::vector<std::string>& pictures = made.pictures;
    if (b + 1 < batches.size()) maker.start(batches[b + 1]);
    ASSERT_EQ(pictures.size(), batches[b].size()) << "batch " << b;
    ASSERT_EQ(made.orders.size(), batches[b].size()) << "batch " << b;
    for (size_t i = 0; i < pictures.size(); ++i) {
      ASSERT_EQ(pictures[i], OneByOne(batches[b][i])) << "batch " << b << ", picture " << i;
      ASSERT_EQ(made.orders[i].symbol, batches[b][i].symbol) << "batch " << b << ", order " << i;
      empty += pictures[i].empty() ? 1 : 0;
    }
  }
  EXPECT_GT(empty, 50);
  EXPECT_TRUE(maker.finish().pictures.empty());  // each batch is given once
}

// A maker dropped with a batch under way (the user cancelled) waits for it.
TEST(PictureMaker, ABatchLeftUnfinishedIsWaitedFor) {
  auto maker = std::make_unique<PictureMaker>();
  maker->start(Orders(200, 0));
  maker->start(Orders(50, 200));  // the first batch is dropped once made
  const std::vector<std::string> pictures = maker->finish().pictures;
  ASSERT_EQ(pictures.size(), 50u);
  EXPECT_EQ(pictures[3], OneByOne(Orders(50, 200)[3]));
  maker->start(Orders(200, 0));
  maker.reset();
}

}  // namespace
}  // namespace kelv::codes
