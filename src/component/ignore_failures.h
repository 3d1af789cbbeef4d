// The one way to run a statement whose failure is ignored: the operations
// that go on with the next statement after a failing one call each statement
// through IgnoreFailure.
#pragma once

#include <utility>

#include "host/host_error.h"

namespace kelv::component {

template <class Step>
void IgnoreFailure(Step&& step) {
  try {
    std::forward<Step>(step)();
  } catch (const host::HostError&) {
  }
}

}  // namespace kelv::component
