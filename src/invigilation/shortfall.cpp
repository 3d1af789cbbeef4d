#include "invigilation/shortfall.h"

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <utility>

namespace kelv::invigilation {
namespace {

std::string quoted(const std::string& s) {
  return "“" + s + "”";
}
std::string n(int64_t v) {
  return std::to_string(v);
}

std::string joined(const std::vector<std::string>& items, size_t most = 6) {
  std::string out;
  for (size_t i = 0; i < items.size() && i < most; ++i) out += (i ? "、" : "") + items[i];
  if (items.size() > most) out += " 等";
  return out;
}

// Why a teacher cannot take any of a set of rooms; the first that applies.
enum class Why { Free, MaxZero, MaxUsed, TypedHere, Excluded, OwnSubject, OwnClass, Mixed };

class Explainer {
 public:
  Explainer(const RotaModel& m, const Rules& rules, const SolveResult& result)
      : m_(m), rules_(rules), mask_(rules.mask()), result_(result) {
    const int32_t T = m.teacher_count(), S = m.sitting_count();
    typed_.assign(T, 0);
    typed_in_.assign(static_cast<size_t>(T) * S, -1);
    fixed_in_room_.assign(m.room_count(), 0);
    for (const FixedDuty& f : m.fixed) {
      ++typed_[f.teacher];
      typed_in_[static_cast<size_t>(f.teacher) * S + m.rooms[f.room].sitting] = f.room;
      ++fixed_in_room_[f.room];
    }
  }

  std::vector<std::string> run() {
    if (result_.failed_required >= 0) {
      explain_required(m_.required[result_.failed_required]);
      return std::move(lines_);
    }
    bool local = false;
    for (int32_t s = 0; s < m_.sitting_count(); ++s) local = explain_sitting(s) || local;
    const int64_t total = m_.total_need();
    const int64_t most = result_.most_duties;
    if (!local) {
      std::string line = m_.sitting_count() > 1 ? "全部 " + n(m_.sitting_count()) + " 场" : "";
      line += "共需要 " + n(total) + " 人次监考，按现在的条件最多只能安排 " + n(most) +
              " 人次，缺 " + n(total - most) + " 人次";
      int32_t limited = 0;
      for (const Teacher& t : m_.teachers) limited += !t.outside && t.max_duties ? 1 : 0;
      if (limited > 0 && rules_.max_duties) line += "（" + n(limited) + " 名老师有最多场数）";
      lines_.push_back(line);
    }
    relaxations(total - most);
    return std::move(lines_);
  }

 private:
  size_t at(int32_t t, int32_t s) const { return static_cast<size_t>(t) * m_.sitting_count() + s; }
  bool free_in(int32_t t, int32_t s) const { return typed_in_[at(t, s)] < 0; }

  Why why_not(int32_t t, int32_t s, const std::vector<int32_t>& rooms) const {
    const Teacher& teacher = m_.teachers[t];
    if (rules_.max_duties && teacher.max_duties) {
      if (*teacher.max_duties == 0) return Why::MaxZero;
      if (typed_[t] >= *teacher.max_duties && free_in(t, s)) return Why::MaxUsed;
    }
    if (!free_in(t, s)) return Why::TypedHere;
    uint8_t all = 0xFF;
    for (int32_t k : rooms) all &= m_.bar(k, t) & mask_;
    if (all == 0) {
      for (int32_t k : rooms)
        if ((m_.bar(k, t) & mask_) == 0) return Why::Free;
      return Why::Mixed;
    }
    if (all & kBarExcluded) return Why::Excluded;
    if (all & kBarOwnSubject) return Why::OwnSubject;
    if (all & kBarOwnClass) return Why::OwnClass;
    return Why::Mixed;
  }

  // "7 名教物理（本场考物理）、2 名不监考本场": the teachers outside the
  // rooms, counted by the first reason that keeps each out.
  std::string reasons(int32_t s, const std::vector<int32_t>& rooms, bool whole_sitting) const {
    std::map<Why, int32_t> counts;
    std::map<std::string, int32_t> subjects;
    std::vector<std::string> classes;
    for (int32_t t = 0; t < m_.teacher_count(); ++t) {
      if (m_.teachers[t].outside) continue;
      const Why w = why_not(t, s, rooms);
      if (w == Why::Free) continue;
      if (w == Why::TypedHere && whole_sitting) continue;  // counted among the typed duties
      ++counts[w];
      if (w == Why::OwnSubject) ++subjects[m_.teachers[t].subject];
    }
    for (int32_t k : rooms)
      for (const std::string& c : m_.rooms[k].classes)
        if (std::find(classes.begin(), classes.end(), c) == classes.end()) classes.push_back(c);
    const std::string here = whole_sitting ? "本场" : rooms.size() == 1 ? "这个考场" : "这些考场";
    std::vector<std::string> parts;
    parts.reserve(subjects.size() + counts.size());
    for (const auto& [subject, count] : subjects) {
      std::string part = n(count);
      part.append(" 名教").append(subject).append("（").append(here).append("考").append(subject);
      parts.push_back(part.append("）"));
    }
    for (const auto& [w, count] : counts) {
      switch (w) {
        case Why::MaxZero:
          parts.push_back(n(count) + " 名最多场数为 0");
          break;
        case Why::MaxUsed:
          parts.push_back(n(count) + " 名已填的监考已到最多场数");
          break;
        case Why::TypedHere:
          parts.push_back(n(count) + " 名本场已填在别的考场");
          break;
        case Why::Excluded:
          parts.push_back(n(count) + " 名不监考" + here);
          break;
        case Why::OwnClass:
          parts.push_back(n(count) + " 名任教" + here + "里的班级" +
                          (classes.empty() ? "" : "（" + joined(classes) + "）"));
          break;
        case Why::Mixed:
          parts.push_back(n(count) + " 名因本学科或任教班级不能监考" + here + "的任何考场");
          break;
        default:
          break;
      }
    }
    return joined(parts, parts.size());
  }

  std::string prefix(int32_t s) const {
    return m_.sitting_count() > 1 || !m_.sittings[s].key.empty() ? m_.sittings[s].label : "";
  }

  // The sitting as a whole, then the rooms of it no matching can fill.
  bool explain_sitting(int32_t s) {
    const Sitting& sitting = m_.sittings[s];
    std::vector<int32_t> rooms;
    int32_t need = 0, typed = 0;
    for (int32_t k = sitting.first_room; k < sitting.end_room; ++k) {
      rooms.push_back(k);
      need += m_.rooms[k].need - fixed_in_room_[k];
      typed += fixed_in_room_[k];
    }
    if (need <= 0) return false;
    std::vector<int32_t> able;
    for (int32_t t = 0; t < m_.teacher_count(); ++t)
      if (!m_.teachers[t].outside && why_not(t, s, rooms) == Why::Free) able.push_back(t);
    const std::string label = sitting.key.empty() ? "本次考试" : sitting.label;
    if (static_cast<int32_t>(able.size()) < need) {
      std::string line = label + (typed > 0 ? "还" : "") + "需要 " + n(need) + " 名监考" +
                         (typed > 0 ? "（已填好 " + n(typed) + " 名）" : "") + "，可用 " +
                         n(static_cast<int64_t>(able.size())) + " 名";
      const std::string why = reasons(s, rooms, true);
      if (!why.empty()) line += "：" + why;
      line += "，缺 " + n(need - static_cast<int32_t>(able.size())) + " 名";
      lines_.push_back(line);
      return true;
    }
    return explain_rooms(s, able);
  }

  // A matching of the sitting's places to the teachers who can take the
  // sitting; where it leaves places empty, the rooms reachable from them
  // by alternating paths need more invigilators than all the teachers who
  // can take any of them (Hall's condition fails there), which is what the
  // line says.
  bool explain_rooms(int32_t s, const std::vector<int32_t>& able) {
    const Sitting& sitting = m_.sittings[s];
    const int32_t first = sitting.first_room, count = sitting.end_room - first;
    std::vector<int32_t> left(count), room_of(able.size(), -1);
    for (int32_t i = 0; i < count; ++i)
      left[i] = m_.rooms[first + i].need - fixed_in_room_[first + i];
    std::vector<std::vector<int32_t>> holders(count);
    auto eligible = [&](size_t a, int32_t i) { return (m_.bar(first + i, able[a]) & mask_) == 0; };
    std::vector<int32_t> seen(able.size(), -1);
    int32_t stamp = 0;
    std::function<bool(int32_t)> seat = [&](int32_t i) -> bool {
      for (size_t a = 0; a < able.size(); ++a) {
        if (seen[a] == stamp || !eligible(a, i)) continue;
        seen[a] = stamp;
        const int32_t j = room_of[a];
        if (j < 0 || seat(j)) {
          if (j >= 0) holders[j].erase(std::find(holders[j].begin(), holders[j].end(), a));
          room_of[a] = i;
          holders[i].push_back(static_cast<int32_t>(a));
          return true;
        }
      }
      return false;
    };
    std::vector<int32_t> short_rooms;
    for (int32_t i = 0; i < count; ++i)
      for (int32_t u = 0; u < left[i]; ++u) {
        ++stamp;
        if (!seat(i)) {
          short_rooms.push_back(i);
          break;
        }
      }
    if (short_rooms.empty()) return false;
    // The rooms reachable from a short one: a teacher who could take it,
    // the room that teacher holds now, and so on.
    std::vector<bool> in(count, false), reached(able.size(), false);
    std::vector<int32_t> queue = short_rooms;
    for (int32_t i : short_rooms) in[i] = true;
    for (size_t h = 0; h < queue.size(); ++h)
      for (size_t a = 0; a < able.size(); ++a) {
        if (reached[a] || !eligible(a, queue[h])) continue;
        reached[a] = true;
        const int32_t j = room_of[a];
        if (j >= 0 && !in[j]) {
          in[j] = true;
          queue.push_back(j);
        }
      }
    std::vector<int32_t> rooms;
    std::vector<std::string> names;
    int32_t need = 0, typed = 0;
    for (int32_t i = 0; i < count; ++i)
      if (in[i]) {
        rooms.push_back(first + i);
        names.push_back(m_.rooms[first + i].name);
        need += left[i];
        typed += fixed_in_room_[first + i];
      }
    const int32_t can = static_cast<int32_t>(std::count(reached.begin(), reached.end(), true));
    std::string line = prefix(s) + "考场 " + joined(names, 10);
    if (rooms.size() == 1) {
      line += std::string(typed > 0 ? " 还" : " ") + "需要 " + n(need) + " 名监考，可用 " + n(can) +
              " 名";
    } else {
      line += " 共" + std::string(typed > 0 ? "还" : "") + "需要 " + n(need) +
              " 名监考，能监考其中任一考场的只有 " + n(can) + " 名";
    }
    const std::string why = reasons(s, rooms, false);
    if (!why.empty()) line += "：" + why;
    line += "，缺 " + n(need - can) + " 名";
    lines_.push_back(line);
    return true;
  }

  void explain_required(const RequiredDuty& r) {
    const Teacher& teacher = m_.teachers[r.teacher];
    int32_t entries = 0;
    for (const RequiredDuty& other : m_.required) entries += other.teacher == r.teacher ? 1 : 0;
    std::string line = quoted(teacher.name) + "的必监考" + quoted(r.item) + "无法安排";
    if (rules_.max_duties && teacher.max_duties &&
        entries + typed_[r.teacher] > *teacher.max_duties) {
      line += "：必监考 " + n(entries) + " 项" +
              (typed_[r.teacher] > 0 ? "、已填 " + n(typed_[r.teacher]) + " 场" : "") +
              "，超过最多场数 " + n(*teacher.max_duties) + "。请提高最多场数或减少必监考";
      lines_.push_back(line);
      return;
    }
    // Others who must take the same rooms.
    int32_t need = 0, rivals = 0;
    std::vector<bool> mine(m_.room_count(), false);
    for (int32_t k : r.rooms) {
      mine[k] = true;
      need += m_.rooms[k].need - fixed_in_room_[k];
    }
    for (const RequiredDuty& other : m_.required) {
      if (other.teacher == r.teacher) continue;
      bool inside = !other.rooms.empty();
      for (int32_t k : other.rooms) inside = inside && mine[k];
      rivals += inside ? 1 : 0;
    }
    if (rivals + 1 > need) {
      line += "：" + quoted(r.item) + "还能安排 " + n(need) + " 名监考，必监考它的却有 " +
              n(rivals + 1) + " 名。请减少必监考它的老师，或提高那里的监考人数";
    } else {
      line +=
          "：和已填的监考、别的老师的必监考或不监考冲突，本场没有空位可以给他。"
          "请检查这位老师在监考表里的不监考和必监考";
    }
    lines_.push_back(line);
  }

  // Which single change would make the rota possible, each tried.
  void relaxations(int64_t missing) {
    const int64_t total = m_.total_need();
    std::vector<std::string> ways;
    auto works = [&](const Rules& r) { return MostDuties(m_, r) == total; };
    bool rule_helps = false;
    if (rules_.own_subject) {
      Rules r = rules_;
      r.own_subject = false;
      if (works(r)) {
        ways.push_back("关掉“不监考本学科”这条规则");
        rule_helps = true;
      }
    }
    if (rules_.own_class) {
      Rules r = rules_;
      r.own_class = false;
      if (works(r)) {
        ways.push_back("关掉“不监考任教班级”这条规则");
        rule_helps = true;
      }
    }
    if (rules_.own_subject && rules_.own_class && !rule_helps) {
      Rules r = rules_;
      r.own_subject = r.own_class = false;
      if (works(r)) ways.push_back("把“不监考本学科”和“不监考任教班级”两条规则都关掉");
    }
    bool limited = false;
    for (const Teacher& t : m_.teachers) limited = limited || (!t.outside && t.max_duties);
    if (rules_.max_duties && limited) {
      Rules r = rules_;
      r.max_duties = false;
      if (works(r)) ways.push_back("提高监考表里的最多场数（不限场数时能排满）");
    }
    if (missing > 0 && !result_.short_by.empty()) {
      std::vector<std::string> rooms;
      for (int32_t k = 0; k < m_.room_count(); ++k)
        if (result_.short_by[k] > 0)
          rooms.push_back(prefix(m_.rooms[k].sitting) + "考场 " + m_.rooms[k].name + " 减 " +
                          n(result_.short_by[k]));
      ways.push_back("把监考人数共减少 " + n(missing) + " 人次（例如 " + joined(rooms, 4) + "）");
    }
    ways.push_back("在监考表里增加监考老师");
    std::string line = "可以这样解决：";
    for (size_t i = 0; i < ways.size(); ++i) line += (i ? "；或" : "") + ways[i];
    lines_.push_back(line);
  }

  const RotaModel& m_;
  Rules rules_;
  uint8_t mask_;
  const SolveResult& result_;
  std::vector<int32_t> typed_, typed_in_, fixed_in_room_;
  std::vector<std::string> lines_;
};

}  // namespace

std::vector<std::string> ExplainShortfall(const RotaModel& model, const Rules& rules,
                                          const SolveResult& result) {
  return Explainer(model, rules, result).run();
}

}  // namespace kelv::invigilation
