// kelv-form [WORKSPACE]: the desktop form.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/core/version.h"
#include "app/form/main_window.h"

#ifdef KELV_FORM_SAMPLE
#include "app/sample/sample_workspace.h"
#include "xlsx/xlsx_format.h"
#endif

namespace {

// Qt's own dialogs (file dialogs, message box buttons, the print dialog) in
// Chinese, from the translations compiled into the program, else from the
// system's.
void load_qt_translations(QApplication& app) {
  static QTranslator qtbase;
  const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  if (qtbase.load("qtbase_zh_CN", ":/translations") ||
      qtbase.load(QLocale(QLocale::Chinese, QLocale::China), "qtbase", "_", dir) ||
      qtbase.load("qtbase_zh_CN", dir))
    app.installTranslator(&qtbase);
}

const char* const kUsage =
    "用法：kelv-form [工作区文件夹或宿主工作簿]\n"
    "\n"
    "kelv 考务的窗体：编排考号、生成门贴、桌贴、签到表、准考证等表格，打印和导出 PDF。\n"
    "不带参数启动时，先选择一个工作区文件夹，或新建示例工作区。\n"
    "\n"
    "选项：\n"
    "  -h, --help     显示本帮助并退出\n"
    "  --version      显示版本并退出\n"
    "\n"
    "使用说明见 docs/用户指南.md。\n";

// Without a display Qt's platform plugin cannot start, and Qt then ends
// the program with a core dump. The person is told in a sentence instead.
void say_no_display(const std::string& detail) {
  std::fprintf(stderr,
               "kelv-form：%s，打不开窗口。请在桌面上运行 kelv-form；没有显示器的机器上，"
               "命令行 kelv 能做同样的工作（kelv --help）。\n",
               detail.c_str());
}

bool needs_display() {
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
  return false;
#else
  // A platform that draws into memory or a frame buffer needs none.
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  return platform.isEmpty() || platform.startsWith("xcb") || platform.startsWith("wayland");
#endif
}

QtMessageHandler qt_messages = nullptr;
// What the platform plugin said while starting: the first text for the
// sentence, all of it to show after a start that went well.
std::string display_detail;
std::string platform_messages;

// Qt's messages while the application starts: the platform plugin's are
// held back, and a fatal failure ends the program with the sentence and
// status 1.
void starting_messages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (context.category != nullptr && std::string(context.category).rfind("qt.qpa", 0) == 0) {
    if (display_detail.empty()) display_detail = text.toStdString();
    platform_messages += std::string(context.category) + ": " + text.toStdString() + "\n";
    return;
  }
  if (type == QtFatalMsg) {
    say_no_display(display_detail.empty() ? "无法启动图形界面（" + text.toStdString() + "）"
                                          : "无法连接图形显示（" + display_detail + "）");
    std::_Exit(1);
  }
  if (qt_messages != nullptr) qt_messages(type, context, text);
}

}  // namespace

int main(int argc, char** argv) {
  // Options are answered before any window opens.
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-h" || a == "--help" || a == "/?") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (a == "--version") {
      std::printf("%s\n", kelv::app::version_text().c_str());
      return 0;
    }
    if (a.rfind("--", 0) == 0) {
      std::fprintf(stderr, "kelv-form：不认识的选项 %s\n运行 kelv-form --help 查看用法。\n",
                   a.c_str());
      return 2;
    }
  }
  if (needs_display() && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    say_no_display("这台机器没有图形显示（没有设置 DISPLAY）");
    return 1;
  }
  qt_messages = qInstallMessageHandler(starting_messages);
  QApplication app(argc, argv);
  qInstallMessageHandler(qt_messages);
  std::fputs(platform_messages.c_str(), stderr);
  QApplication::setApplicationName("kelv-form");
  load_qt_translations(app);

  kelv::form::SampleWriter sample;
#ifdef KELV_FORM_SAMPLE
  sample = [](const std::string& folder) {
    kelv::xlsx::XlsxFormat format;
    kelv::sample::write_sample_workspace(folder, kelv::sample::SampleOptions{}, format);
  };
#endif
  kelv::form::MainWindow window(sample);
  window.show();

  const QStringList args = QApplication::arguments();
  if (args.size() > 1) {
    window.open_workspace(args[1].toStdString());
  } else {
    QTimer::singleShot(0, &window, [&window] {
      if (!window.offer_start()) window.close();
    });
  }
  return QApplication::exec();
}
