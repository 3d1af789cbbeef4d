#include "print/qt/pdf_halves.h"

#include <QBuffer>
#include <QByteArray>
#include <QPdfWriter>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

#include "host/host_error.h"
#include "print/qt/page_painter.h"

#ifdef KELV_HAVE_QPDF
#include "print/qt/pdf_join.h"
#endif

namespace kelv::print {
#ifdef KELV_HAVE_QPDF
namespace {

// Below this many pages a second writer costs more than it saves: the
// fonts are embedded twice and the join reads both files again.
constexpr int32_t kHalvesFrom = 64;

// One half of the job written into memory. Called on either thread.
bool write_half(const PrintJob& job, QByteArray& into, int dpi, const QString& title, int32_t first,
                int32_t last, const std::function<bool(const JobProgress&)>& progress) {
  QBuffer out(&into);
  out.open(QIODevice::WriteOnly);
  QPdfWriter writer(&out);
  writer.setResolution(dpi);
  writer.setCreator("kelv");
  writer.setTitle(title);
  return render_job(job, writer, progress, first, last);
}

// The progress of the two halves as one job: pages done in each, and the
// sheets told as finished so far (in the job's order).
class JointProgress {
 public:
  JointProgress(const PrintJob& job, int32_t middle) : job_(job), middle_(middle) {}
  // Tells `progress` of every sheet newly finished, or else of the pages
  // done when more are done than last told; false when it asked to stop.
  bool tell(const std::function<bool(const JobProgress&)>& progress, int32_t first_done,
            int32_t second_done, int32_t current_sheet) {
    if (!progress) return true;
    JobProgress p;
    p.done = first_done + second_done;
    p.total = job_.page_count();
    auto page_done = [&](int32_t i) {
      return i < first_done || (i >= middle_ && i < middle_ + second_done);
    };
    bool told = false;
    while (next_sheet_ < static_cast<int32_t>(job_.sheets().size())) {
      const int32_t end = last_page_of(next_sheet_);
      // A sheet across the middle is done when both its parts are.
      const bool done = page_done(end) && (end < middle_ || first_done == middle_);
      if (!done) break;
      p.sheet = next_sheet_++;
      p.sheet_done = true;
      told = true;
      if (!progress(p)) return false;
    }
    if (told) {
      last_done_ = p.done;
      return true;
    }
    // Nothing new (a wake-up while the other half is still drawing, or
    // after its last page): nothing told, so a finished sheet's report
    // stays the last.
    if (p.done == last_done_) return true;
    last_done_ = p.done;
    p.sheet = current_sheet;
    p.sheet_done = false;
    return progress(p);
  }

 private:
  int32_t last_page_of(int32_t sheet) {
    while (scan_ < job_.page_count() && job_.page(scan_).sheet <= sheet) ++scan_;
    return scan_ - 1;
  }
  const PrintJob& job_;
  int32_t middle_;
  int32_t next_sheet_ = 0;
  int32_t last_done_ = -1;  // the pages done when last told
  int32_t scan_ = 0;        // the first page of a sheet after those looked at
};

}  // namespace
#endif

bool writes_in_halves(const PrintJob& job) {
#ifdef KELV_HAVE_QPDF
  return job.page_count() >= kHalvesFrom && std::thread::hardware_concurrency() >= 2;
#else
  (void)job;
  return false;
#endif
}

bool write_pdf_in_halves(const PrintJob& job, host::WritableFile& out, int dpi,
                         const QString& title,
                         const std::function<bool(const JobProgress&)>& progress) {
#ifndef KELV_HAVE_QPDF
  (void)job, (void)out, (void)dpi, (void)title, (void)progress;
  throw std::logic_error("PDF halves without qpdf");
#else
  const int32_t middle = job.page_count() / 2;
  QByteArray first, second;
  std::atomic<int32_t> second_done{0};
  std::atomic<bool> stop{false};
  std::mutex mutex;
  std::condition_variable changed;
  bool second_finished = false;
  std::exception_ptr second_failure;

  std::thread other([&] {
    try {
      write_half(job, second, dpi, title, middle, job.page_count() - 1, [&](const JobProgress& p) {
        second_done.store(p.done);
        changed.notify_one();
        return !stop.load();
      });
    } catch (...) {
      second_failure = std::current_exception();
    }
    const std::lock_guard<std::mutex> lock(mutex);
    second_finished = true;
    changed.notify_one();
  });
  // The other thread is stopped and waited for on every way out.
  struct Joiner {
    std::thread& thread;
    std::atomic<bool>& stop;
    ~Joiner() {
      stop.store(true);
      if (thread.joinable()) thread.join();
    }
  } joiner{other, stop};

  JointProgress joint(job, middle);
  int32_t first_done = 0;
  bool go_on = write_half(job, first, dpi, title, 0, middle - 1, [&](const JobProgress& p) {
    first_done = p.done;
    return joint.tell(progress, first_done, second_done.load(), job.page(p.done - 1).sheet);
  });
  // The second half's pages as they come, told once more after it is
  // finished (it may have finished while the first half was drawn), so its
  // last pages and sheets are always told.
  {
    std::unique_lock<std::mutex> lock(mutex);
    while (go_on) {
      const bool finished = second_finished;
      const int32_t done = second_done.load();
      lock.unlock();
      go_on =
          joint.tell(progress, first_done, done, job.page(middle + std::max(0, done - 1)).sheet);
      lock.lock();
      if (finished) break;
      changed.wait_for(lock, std::chrono::milliseconds(100));
    }
  }
  if (!go_on) return false;
  other.join();
  if (second_failure) std::rethrow_exception(second_failure);
  if (second_done.load() < job.page_count() - middle) return false;
  try {
    auto view = [](const QByteArray& bytes) {
      return std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()));
    };
    join_pdfs(view(first), view(second),
              [&](const char* data, size_t size) { out.write(data, size); });
  } catch (const host::HostError&) {
    throw;
  } catch (const std::exception& e) {
    throw std::runtime_error(std::string("无法合并 PDF 的两半：") + e.what());
  }
  return true;
#endif
}

}  // namespace kelv::print
