// Seating one 场次: which paper each room holds and where each examinee
// sits. Pure computation on indices; the sheets are read by exam_data.h and
// written by session_output.h.
//
// One paper per room, no room over its places, and as few room changes as
// the rooms allow: rooms are given to the paper most of their examinees
// sit (whole rooms of one paper first), as long as every paper can still
// get the places it needs; an examinee whose main room holds their paper
// keeps their seat, and the others fill the free seats of their paper's
// rooms in exam-number order.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace kelv::sessions {

struct PlanPaper {
  // The examinees who sit it, in exam-number order (indices of the
  // examinee vectors below).
  std::vector<int32_t> sitters;
  // The rooms it may use (indices into places); empty: every room.
  std::vector<int32_t> allowed;
};

struct PlanRequest {
  std::vector<int32_t> places;  // per room
  // Per examinee: the main room (-1: none) and the place in it (its rank
  // there by exam number).
  std::vector<int32_t> main_room;
  std::vector<int32_t> main_slot;
  std::vector<PlanPaper> papers;  // the papers of this session
};

struct PlacedSitter {
  int32_t room = -1;
  int32_t slot = -1;    // 0-based place in the room
  bool stayed = false;  // the main room and seat
};

struct SessionPlan {
  // Per room: the paper it holds (index into PlanRequest::papers), -1 unused.
  std::vector<int32_t> room_paper;
  // Per paper, per sitter in the order of PlanPaper::sitters.
  std::vector<std::vector<PlacedSitter>> seats;
  int32_t moved = 0;  // sitters not in their main seat
};

// The plan, or nullopt when the papers do not fit the rooms (one paper per
// room, each within the rooms it may use).
std::optional<SessionPlan> PlanSession(const PlanRequest& request);

// Whether papers of these sizes fit the rooms, one paper per room and each
// within its allowed rooms (empty: any), all rooms free: the same test the
// plan makes, for the check and the suggested timetable. Rooms of 0 places
// count for nothing.
bool PapersFit(const std::vector<int32_t>& places, const std::vector<int64_t>& sizes,
               const std::vector<std::vector<int32_t>>& allowed);

// The fewest rooms the largest allowed rooms give a paper of `size`, or
// -1 when all of them together are too small: a lower bound for messages.
int32_t RoomsAtLeast(const std::vector<int32_t>& places, int64_t size,
                     const std::vector<int32_t>& allowed);

}  // namespace kelv::sessions
