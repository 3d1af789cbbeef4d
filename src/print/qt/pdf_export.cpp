#include "print/qt/pdf_export.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QIODevice>
#include <QPdfWriter>
#include <memory>
#include <mutex>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <set>
#include <stdexcept>
#include <string>

#include "host/file_system.h"
#include "host/host_error.h"
#include "print/qt/fonts.h"
#include "print/qt/page_painter.h"
#include "print/qt/pdf_halves.h"

namespace kelv::print {
namespace {

// Device resolution of the PDF: ten units to the point.
constexpr int kPdfDpi = 720;

// Qt's own notices (a missing runtime folder, font fall-backs) are not for
// the user of a command; its errors are.
void quiet_messages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) fprintf(stderr, "%s\n", qPrintable(message));
}

void ensure_application() {
  if (QCoreApplication::instance() != nullptr) return;
    // Qt's offscreen platform, which needs no screen. On Windows the offscreen
    // platform sees no fonts at all; the Windows platform needs no screen to
    // write a PDF and has the system's fonts.
#ifdef Q_OS_WIN
  static int argc = 1;
#else
  static int argc = 3;
#endif
  static char arg0[] = "kelv", arg1[] = "-platform", arg2[] = "offscreen";
  static char* argv[] = {arg0, arg1, arg2, nullptr};
  qInstallMessageHandler(quiet_messages);
  // Never destroyed: at exit, a statically linked Qt (the Windows build's)
  // has already torn down what the application object's destructor uses.
  static QGuiApplication* app = new QGuiApplication(argc, argv);
  (void)app;
}

// Qt's PDF engine builds every page's content in a buffer that grows to
// hundreds of kilobytes and is freed when the page is written. With the C
// library's default thresholds each such buffer is mapped and unmapped
// afresh and the heap's top is handed back to the kernel again and again:
// for thousands of pages the page faults and unmappings took a third of
// the export's processor time. Blocks below 64 MB are kept in the heap
// instead, and it gives back memory only when 64 MB lie unused at its top
// (the export's own memory is about 150 MB for 5,000 pages). Once per
// process; other allocators keep their own ways.
void keep_page_buffers() {
#if defined(__GLIBC__)
  static std::once_flag once;
  std::call_once(once, [] {
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    mallopt(M_TOP_PAD, 16 << 20);
  });
#endif
}

// The file the PDF is written to, as Qt's writer wants it: a device over the
// file-system seam's file, so the PDF is written beside its path and put in
// place only when whole, like every file kelv replaces. Qt writes a page in
// thousands of pieces of a few bytes; they are gathered into blocks of
// 1 MB before they reach the file (a system call each before). A failed
// write is kept to be rethrown with its own words.
class FileDevice : public QIODevice {
 public:
  explicit FileDevice(host::WritableFile& file) : file_(file) { buffer_.reserve(kBlock); }
  bool seek(qint64 position) override {
    if (!flush_buffer()) return false;
    try {
      file_.seek(static_cast<uint64_t>(position));
    } catch (...) {
      failure_ = std::current_exception();
      return false;
    }
    return QIODevice::seek(position);
  }
  // Writes what is gathered; false when the file refused it.
  bool flush_buffer() {
    if (failure_) return false;
    if (buffer_.empty()) return true;
    try {
      file_.write(buffer_.data(), buffer_.size());
    } catch (...) {
      failure_ = std::current_exception();
      return false;
    }
    buffer_.clear();
    return true;
  }
  void rethrow_failure() const {
    if (failure_) std::rethrow_exception(failure_);
  }

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* data, qint64 size) override {
    if (failure_) return -1;
    buffer_.append(data, static_cast<size_t>(size));
    if (buffer_.size() >= kBlock && !flush_buffer()) return -1;
    return size;
  }

 private:
  static constexpr size_t kBlock = size_t{1} << 20;
  host::WritableFile& file_;
  std::string buffer_;
  std::exception_ptr failure_;
};

// Thrown inside the replacement when the person stopped the export, so the
// half-written file is removed and the old one stays.
struct Stopped {};

}  // namespace

std::string font_warning() {
  ensure_application();
  if (!cjk_family().isEmpty()) return {};
#ifdef Q_OS_WIN
  return "没有找到中文字体，中文将无法显示；请安装微软雅黑或宋体";
#else
  return "没有找到中文字体，中文将无法显示；请安装 fonts-wqy-microhei";
#endif
}

std::vector<std::string> font_notes(const PrintJob& job) {
  ensure_application();
  std::vector<std::string> notes;
  std::set<std::string> seen;
  const spreadsheet::StyleTable& styles = job.book().styles;
  for (uint32_t i = 0; i < styles.size(); ++i) {
    const std::string& name = styles.get(i).font.name;
    if (!seen.insert(name).second) continue;
    if (std::string note = font_note(name); !note.empty()) notes.push_back(std::move(note));
  }
  return notes;
}

bool write_pdf(const PrintJob& job, const std::string& path,
               const std::function<bool(const JobProgress&)>& progress) {
  if (job.page_count() == 0) throw std::runtime_error("没有可打印的内容：所选工作表都是空的");
  ensure_application();
  keep_page_buffers();
  try {
    host::replace_file(
        path,
        [&](host::WritableFile& file) {
          const QString title =
              QFileInfo(QString::fromStdString(job.book().file_path)).completeBaseName();
          if (writes_in_halves(job)) {
            if (!write_pdf_in_halves(job, file, kPdfDpi, title, progress)) throw Stopped{};
            return;
          }
          FileDevice out(file);
          out.open(QIODevice::WriteOnly);
          bool finished = false;
          {
            QPdfWriter writer(&out);
            writer.setResolution(kPdfDpi);
            writer.setCreator("kelv");
            writer.setTitle(title);
            finished = render_job(job, writer, progress);
          }
          out.flush_buffer();
          out.rethrow_failure();
          if (!finished) throw Stopped{};
        },
        host::FileSystem::system(), "写入 PDF 文件");
  } catch (const Stopped&) {
    return false;
  } catch (const host::HostError& e) {
    throw std::runtime_error(e.description());
  }
  return true;
}

}  // namespace kelv::print
