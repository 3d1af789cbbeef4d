#include "xlsx/parallel_rows.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "host/host_error.h"
#include "spreadsheet/references.h"
#include "xlsx/package.h"

namespace kelv::xlsx {
namespace {

using spreadsheet::Cell;
using spreadsheet::Sheet;

class ParallelRows {
 public:
  ParallelRows(PackageReader& package, const std::string& part, Sheet& sheet,
               const ParallelRowSides& sides)
      : package_(package), part_(part), sheet_(sheet), sides_(sides) {}

  ~ParallelRows() { stop_workers(); }

  bool run() {
    RowSplitter splitter(
        sides_.sheet, [&](RowSplitter::Segment&& s) { add(std::move(s), splitter); },
        kSegmentBytes);
    try {
      package_.stream(part_, [&](const char* p, size_t n) {
        splitter.feed(std::string_view(p, n));
        merge_finished(false);
      });
      splitter.finish();
      sides_.sheet_end();
      merge_finished(true);
      return true;
    } catch (const Misfit&) {
    } catch (const host::HostError&) {
    }
    stop_workers();
    return false;
  }

 private:
  static constexpr size_t kSegmentBytes = size_t{512} * 1024;
  struct Misfit {};

  struct Job {
    RowSplitter::Segment segment;
    SegmentRows read;
    bool failed = false;
    bool done = false;
  };

  void add(RowSplitter::Segment&& s, const RowSplitter& splitter) {
    if (head_.empty()) {
      head_ = splitter.document_start();
      tail_ = splitter.document_end();
    }
    auto job = std::make_unique<Job>();
    job->segment = std::move(s);
    Job* j = job.get();
    {
      std::lock_guard<std::mutex> lock(m_);
      jobs_.push_back(std::move(job));
      queue_.push_back(j);
    }
    if (workers_.empty() && jobs_.size() > 1) start_workers();
    wake_.notify_one();
    // Ahead of the workers: parse one here rather than pile up text.
    if (queue_size() > 2 * workers_.size() + 1) run_one();
  }

  size_t queue_size() {
    std::lock_guard<std::mutex> lock(m_);
    return queue_.size();
  }

  void start_workers() {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 1; i < cores; ++i) workers_.emplace_back([this] { work(); });
  }

  void stop_workers() {
    {
      std::lock_guard<std::mutex> lock(m_);
      stopping_ = true;
      queue_.clear();
    }
    wake_.notify_all();
    for (std::thread& t : workers_) t.join();
    workers_.clear();
  }

  void parse(Job& j) {
    try {
      j.failed = !sides_.segment(j.segment, head_, tail_, j.read);
    } catch (...) {
      j.failed = true;
    }
    j.segment.xml = std::string();
  }

  // Takes a queued job, if any, and parses it on this thread.
  bool run_one() {
    Job* j = nullptr;
    {
      std::lock_guard<std::mutex> lock(m_);
      if (queue_.empty()) return false;
      j = queue_.front();
      queue_.pop_front();
    }
    parse_and_finish(*j);
    return true;
  }

  void work() {
    for (;;) {
      Job* j = nullptr;
      {
        std::unique_lock<std::mutex> lock(m_);
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;
        j = queue_.front();
        queue_.pop_front();
      }
      parse_and_finish(*j);
    }
  }

  // Parses a job taken off the queue and tells whoever waits for it.
  void parse_and_finish(Job& j) {
    parse(j);
    {
      std::lock_guard<std::mutex> lock(m_);
      j.done = true;
    }
    done_.notify_all();
  }

  // Puts finished segments back in order; with all, waits for the rest.
  void merge_finished(bool all) {
    for (;;) {
      Job* j = nullptr;
      {
        std::unique_lock<std::mutex> lock(m_);
        if (merged_ == jobs_.size()) return;
        j = jobs_[merged_].get();
        if (!j->done && !all) return;
      }
      if (!j->done) {
        if (!run_one()) {
          std::unique_lock<std::mutex> lock(m_);
          done_.wait(lock, [j] { return j->done; });
        }
        continue;
      }
      merge(*j);
      std::lock_guard<std::mutex> lock(m_);
      jobs_[merged_].reset();
      ++merged_;
    }
  }

  void merge(Job& j) {
    if (j.failed) throw Misfit{};
    SegmentRows& read = j.read;
    const auto base = static_cast<size_t>(row_base(j.segment));
    // Segments must follow each other: a row repeated or going back is read
    // in one piece instead.
    if (base < sheet_.rows.size()) throw Misfit{};
    package_.charge(part_, read.charged);
    const size_t n = base + read.rows.rows.size();
    if (n > sheet_.rows.size()) {
      package_.charge(part_, (n - sheet_.rows.size()) * sizeof(spreadsheet::Row));
      sheet_.rows.resize(n);
    }
    for (size_t i = 0; i < read.rows.rows.size(); ++i)
      sheet_.rows[base + i] = std::move(read.rows.rows[i]);
    for (const SharedFollower& f : read.followers) settle(f);
    for (auto& [si, anchor] : read.anchors) anchors_[si] = std::move(anchor);
  }

  // A shared formula whose anchor came in an earlier segment, or not at all.
  void settle(const SharedFollower& f) {
    auto& cells = sheet_.rows[static_cast<size_t>(f.row - 1)].cells;
    auto it = std::lower_bound(cells.begin(), cells.end(), f.col,
                               [](const Cell& c, int32_t col) { return c.col < col; });
    if (it == cells.end() || it->col != f.col) return;
    auto a = anchors_.find(f.si);
    if (a != anchors_.end()) {
      auto formula = std::make_shared<spreadsheet::Formula>();
      formula->text = spreadsheet::move_references(a->second.text, f.row - a->second.row,
                                                   f.col - a->second.col);
      it->formula = std::move(formula);
      return;
    }
    // A follower before its anchor keeps its value only.
    it->formula.reset();
    if (it->value.is_empty() && it->style == 0) cells.erase(it);
  }

  PackageReader& package_;
  const std::string& part_;
  Sheet& sheet_;
  const ParallelRowSides& sides_;
  std::string head_, tail_;
  std::map<int64_t, SharedFormula> anchors_;

  std::mutex m_;
  std::condition_variable wake_, done_;
  std::vector<std::unique_ptr<Job>> jobs_;
  std::deque<Job*> queue_;
  size_t merged_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace

bool read_rows_in_parallel(PackageReader& package, const std::string& part, Sheet& sheet,
                           const ParallelRowSides& sides) {
  return ParallelRows(package, part, sheet, sides).run();
}

}  // namespace kelv::xlsx
