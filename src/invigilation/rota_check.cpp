#include "invigilation/rota_check.h"

#include <algorithm>
#include <map>
#include <optional>
#include <utility>

namespace kelv::invigilation {

std::vector<std::string> RotaViolations(const RotaModel& m, const Rules& rules, const Rota& rota) {
  std::vector<std::string> broken;
  const int32_t T = m.teacher_count();
  if (static_cast<int32_t>(rota.roles.size()) != m.room_count()) {
    broken.push_back("rooms: " + std::to_string(rota.roles.size()));
    return broken;
  }
  std::map<std::pair<int32_t, int32_t>, int32_t> fixed;  // (room, teacher) -> role
  for (const FixedDuty& f : m.fixed) fixed[{f.room, f.teacher}] = f.role;
  std::vector<int32_t> duties(T, 0);
  std::map<std::pair<int32_t, int32_t>, int32_t> in_sitting;  // (teacher, sitting) -> room
  const uint8_t mask = rules.mask();
  for (int32_t k = 0; k < m.room_count(); ++k) {
    const SittingRoom& room = m.rooms[k];
    const std::string where = m.sittings[room.sitting].label + " " + room.name;
    if (static_cast<int32_t>(rota.roles[k].size()) != room.need)
      broken.push_back(where + ": " + std::to_string(rota.roles[k].size()) + " roles, needs " +
                       std::to_string(room.need));
    for (size_t role = 0; role < rota.roles[k].size(); ++role) {
      const int32_t t = rota.roles[k][role];
      if (t < 0 || t >= T) {
        broken.push_back(where + ": role " + std::to_string(role) + " empty");
        continue;
      }
      ++duties[t];
      const auto [it, first] = in_sitting.emplace(std::pair(t, room.sitting), k);
      if (!first)
        broken.push_back(m.teachers[t].name + " in two rooms of " + m.sittings[room.sitting].label);
      const auto f = fixed.find({k, t});
      if (f != fixed.end()) {
        if (f->second != static_cast<int32_t>(role))
          broken.push_back(where + ": typed " + m.teachers[t].name + " moved to another role");
        continue;
      }
      if (m.bar(k, t) & mask)
        broken.push_back(where + ": " + m.teachers[t].name + " barred (" +
                         std::to_string(m.bar(k, t) & mask) + ")");
    }
  }
  for (const auto& [key, role] : fixed) {
    const auto& roles = rota.roles[key.first];
    if (role >= static_cast<int32_t>(roles.size()) || roles[role] != key.second)
      broken.push_back(m.rooms[key.first].name + ": typed " + m.teachers[key.second].name +
                       " not kept");
  }
  for (int32_t t = 0; t < T; ++t)
    if (rules.max_duties && m.teachers[t].max_duties && duties[t] > *m.teachers[t].max_duties)
      broken.push_back(m.teachers[t].name + ": " + std::to_string(duties[t]) + " duties, most " +
                       std::to_string(*m.teachers[t].max_duties));
  for (const RequiredDuty& r : m.required) {
    bool met = false;
    for (int32_t k : r.rooms)
      met = met ||
            std::find(rota.roles[k].begin(), rota.roles[k].end(), r.teacher) != rota.roles[k].end();
    if (!met) broken.push_back(m.teachers[r.teacher].name + ": 必监考 " + r.item + " not met");
  }
  return broken;
}

int32_t LargestSpread(const RotaModel& m, const Rota& rota) {
  std::map<std::optional<int32_t>, std::pair<int32_t, int32_t>> groups;
  for (int32_t t = 0; t < m.teacher_count(); ++t) {
    if (m.teachers[t].outside) continue;
    const auto [it, first] =
        groups.emplace(m.teachers[t].max_duties, std::pair(rota.duties[t], rota.duties[t]));
    it->second.first = std::min(it->second.first, rota.duties[t]);
    it->second.second = std::max(it->second.second, rota.duties[t]);
  }
  int32_t spread = 0;
  for (const auto& [key, range] : groups) spread = std::max(spread, range.second - range.first);
  return spread;
}

}  // namespace kelv::invigilation
