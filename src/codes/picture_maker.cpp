#include "codes/picture_maker.h"

#include <utility>

namespace kelv::codes {

namespace {

// Makes the pictures of a batch not yet taken, one at a time, until none is
// left: the maker's thread and the caller's both draw from the same batch.
void make_untaken(PictureMaker::Batch& batch) {
  Modules modules;
  for (size_t i = batch.next++; i < batch.orders.size(); i = batch.next++) {
    const PictureOrder& order = batch.orders[i];
    if (order.symbol.payload.empty() || encode(order.symbol, modules)) continue;
    batch.pictures[i] = png(modules, order.width, order.height);
  }
}

}  // namespace

std::vector<std::string> make_pictures(const std::vector<PictureOrder>& orders) {
  PictureMaker::Batch batch;
  batch.orders = orders;
  batch.pictures.resize(orders.size());
  make_untaken(batch);
  return std::move(batch.pictures);
}

PictureMaker::~PictureMaker() {
  if (pending_.valid()) pending_.wait();
}

void PictureMaker::start(std::vector<PictureOrder> orders) {
  if (pending_.valid()) pending_.wait();
  pending_ = {};
  batch_ = std::make_unique<Batch>();
  batch_->orders = std::move(orders);
  batch_->pictures.resize(batch_->orders.size());
  if (batch_->orders.empty()) return;
  pending_ = std::async(std::launch::async, [b = batch_.get()] { make_untaken(*b); });
}

std::vector<std::string> PictureMaker::finish() {
  if (!batch_) return {};
  make_untaken(*batch_);
  if (pending_.valid()) pending_.get();
  std::vector<std::string> pictures = std::move(batch_->pictures);
  batch_.reset();
  return pictures;
}

}  // namespace kelv::codes
