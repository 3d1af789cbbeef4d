// Code pictures made a batch ahead on a thread of their own while the caller
// places the batch before, the caller joining in once it asks for them:
// encoding a code and compressing its picture cost more than placing it in
// a workbook.
#pragma once

#include <atomic>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "codes/symbol.h"

namespace kelv::codes {

// A picture to make: the code and the box of w × h points it fills.
struct PictureOrder {
  Symbol symbol;
  double width = 0, height = 0;
};

// A batch made: its orders and, for each, the picture as png() makes it
// ("" when the code cannot be encoded or its box holds no module).
struct Pictures {
  std::vector<PictureOrder> orders;
  std::vector<std::string> pictures;
};

class PictureMaker {
 public:
  PictureMaker() = default;
  ~PictureMaker();  // waits for a batch still being made
  PictureMaker(const PictureMaker&) = delete;
  PictureMaker& operator=(const PictureMaker&) = delete;

  // Begins making a batch, dropping one started and not finished.
  void start(std::vector<PictureOrder> orders);
  // The batch started last: the caller makes the pictures not yet taken,
  // then waits for the one being made. Nothing when no batch was started.
  Pictures finish();

 private:
  struct Batch {
    Pictures made;
    std::atomic<size_t> next{0};  // the first picture not yet taken
  };
  // Makes the pictures of a batch not yet taken, one at a time, until none
  // is left: the maker's thread and the caller's both draw from the batch.
  static void make_untaken(Batch& batch);

  std::unique_ptr<Batch> batch_;
  std::future<void> pending_;
};

}  // namespace kelv::codes
