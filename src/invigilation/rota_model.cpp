#include "invigilation/rota_model.h"

#include <algorithm>

namespace kelv::invigilation {

std::string SittingLabel(const std::string& key) {
  const bool number =
      !key.empty() && key.size() < 10 &&
      std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; });
  return number ? "第 " + key + " 场" : key;
}

}  // namespace kelv::invigilation
