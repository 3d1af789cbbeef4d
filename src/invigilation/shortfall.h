// Why a rota cannot be made, told with numbers: which sitting or rooms are
// short, how many teachers each rule keeps out, how many are missing, and
// which relaxation (a rule switched off, 最多场数 raised, fewer
// invigilators in a room) would make it possible. Every claim that a
// relaxation suffices is checked by solving again under it.
#pragma once

#include <string>
#include <vector>

#include "invigilation/rota_model.h"
#include "invigilation/rota_solver.h"

namespace kelv::invigilation {

// The lines of the explanation for a model SolveRota could not answer.
std::vector<std::string> ExplainShortfall(const RotaModel& model, const Rules& rules,
                                          const SolveResult& result);

}  // namespace kelv::invigilation
