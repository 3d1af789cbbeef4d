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

class PictureMaker {
 public:
  PictureMaker() = default;
  ~PictureMaker();  // waits for a batch still being made
  PictureMaker(const PictureMaker&) = delete;
  PictureMaker& operator=(const PictureMaker&) = delete;

  // Begins making a batch, dropping one started and not finished.
  void start(std::vector<PictureOrder> orders);
  // The batch started last, in its order, each picture as png() makes it
  // ("" when the code cannot be encoded or its box holds no module): the
  // caller makes those not yet taken, then waits for the one being made.
  // Nothing when no batch was started.
  std::vector<std::string> finish();

  struct Batch {
    std::vector<PictureOrder> orders;
    std::vector<std::string> pictures;
    std::atomic<size_t> next{0};  // the first picture not yet taken
  };

 private:
  std::unique_ptr<Batch> batch_;
  std::future<void> pending_;
};

// The pictures of a batch, made on the calling thread.
std::vector<std::string> make_pictures(const std::vector<PictureOrder>& batch);

}  // namespace kelv::codes
