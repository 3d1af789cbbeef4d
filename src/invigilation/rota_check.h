// An independent look at a finished rota: every rule it must keep, checked
// from the rota alone. The operation refuses to write a rota that breaks
// one (it never should); tests and the benchmark count what it finds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "invigilation/rota_model.h"

namespace kelv::invigilation {

// One line per broken rule: an empty or surplus role, a teacher in two
// rooms of one sitting, a duty a bar forbids (typed duties excepted), more
// duties than 最多场数, a 必监考 not met, a typed duty moved.
std::vector<std::string> RotaViolations(const RotaModel& model, const Rules& rules,
                                        const Rota& rota);

// The largest difference in duties between two teachers of one group (the
// same 最多场数, or none), outside names left out.
int32_t LargestSpread(const RotaModel& model, const Rota& rota);

}  // namespace kelv::invigilation
