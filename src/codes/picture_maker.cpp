#include "codes/picture_maker.h"

#include <utility>

namespace kelv::codes {

void PictureMaker::make_untaken(Batch& batch) {
  Modules modules;
  const std::vector<PictureOrder>& orders = batch.made.orders;
  for (size_t i = batch.next++; i < orders.size(); i = batch.next++) {
    const PictureOrder& order = orders[i];
    if (order.symbol.payload.empty() || encode(order.symbol, modules)) continue;
    batch.made.pictures[i] = png(modules, order.width, order.height);
  }
}

PictureMaker::~PictureMaker() {
  if (pending_.valid()) pending_.wait();
}

void PictureMaker::start(std::vector<PictureOrder> orders) {
  if (pending_.valid()) pending_.wait();
  pending_ = {};
  batch_ = std::make_unique<Batch>();
  batch_->made.pictures.resize(orders.size());
  batch_->made.orders = std::move(orders);
  if (batch_->made.orders.empty()) return;
  pending_ = std::async(std::launch::async, [b = batch_.get()] { make_untaken(*b); });
}

Pictures PictureMaker::finish() {
  if (!batch_) return {};
  make_untaken(*batch_);
  if (pending_.valid()) pending_.get();
  Pictures made = std::move(batch_->made);
  batch_.reset();
  return made;
}

}  // namespace kelv::codes
