#include "print/qt/pdf_export.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QPdfWriter>
#include <QSaveFile>
#include <memory>
#include <set>
#include <stdexcept>

#include "print/qt/fonts.h"
#include "print/qt/page_painter.h"

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
  const QString file = QString::fromStdString(path);
  QSaveFile out(file);
  if (!out.open(QIODevice::WriteOnly))
    throw std::runtime_error("无法写入 " + path + "：" + out.errorString().toStdString());
  bool finished = false;
  {
    QPdfWriter writer(&out);
    writer.setResolution(kPdfDpi);
    writer.setCreator("kelv");
    writer.setTitle(QFileInfo(QString::fromStdString(job.book().file_path)).completeBaseName());
    finished = render_job(job, writer, progress);
  }
  if (!finished) {
    out.cancelWriting();
    return false;
  }
  if (!out.commit())
    throw std::runtime_error("无法写入 " + path + "：" + out.errorString().toStdString());
  return true;
}

}  // namespace kelv::print
