// Solving the rota: every room of every sitting gets the invigilators it
// needs, or the answer says exactly that it cannot be done.
//
// How. The hard rules are a flow network: the source feeds each teacher as
// many duties as they may take, a teacher passes at most one to each
// sitting, a sitting's unit goes to one room the teacher may take, and each
// room passes its need to the sink. A rota is a flow that fills every room;
// the maximum flow, found by augmenting paths, says whether one exists, so a
// room is never left empty when some rota would fill it (a greedy pass
// can). Fairness is the teachers' capacities, raised a level at a time: all
// are filled up to L - 1 duties before anyone gets an L-th, and augmenting
// paths never take a duty back from a teacher, so among teachers with the
// same 最多场数 the counts differ by at most one wherever the rules leave
// them free to. Fixed duties are placed first and never moved; 必监考 duties
// next, each from a source edge of its own, so later paths cannot drop them.
// Then a local search that keeps every count (exchanging or handing on
// single duties, swapping rooms within a sitting) packs each teacher's
// duties into fewer half-days and keeps them out of rooms they had before.
// The random seed orders teachers, rooms and ties, and nothing else is
// random, so the same model and seed give the same rota on every machine.
#pragma once

#include <cstdint>
#include <vector>

#include "invigilation/rota_model.h"

namespace kelv::invigilation {

struct SolveResult {
  bool solved = false;
  Rota rota;  // when solved
  // When not: the 必监考 entry that could not be met (-1: none), and how
  // many duties the rules allow at most with every room's shortfall in the
  // fullest rota found.
  int32_t failed_required = -1;
  int64_t most_duties = 0;
  std::vector<int32_t> short_by;  // per room
};

// The rota for `model` under `rules`, drawn from `seed`. Without
// `improve` the counts are as fair but the half-days and rooms are left as
// the flow found them (enough to tell whether a rota exists).
SolveResult SolveRota(const RotaModel& model, const Rules& rules, uint64_t seed,
                      bool improve = true);

// The most duties the rules allow, all fairness aside (the maximum flow,
// 必监考 ignored). Equal to model.total_need() exactly when the rooms can be
// filled; relaxations are judged by it.
int64_t MostDuties(const RotaModel& model, const Rules& rules);

// The random generator of the rota: SplitMix64, written out so that the
// sequence is the same with every compiler and library.
class SeedSequence {
 public:
  explicit SeedSequence(uint64_t seed) : state_(seed) {}
  uint64_t next();
  // Uniform in [0, n), n > 0.
  uint64_t below(uint64_t n) { return next() % n; }

 private:
  uint64_t state_;
};

}  // namespace kelv::invigilation
