// kelv-form [WORKSPACE]: the desktop form.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
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
  QApplication app(argc, argv);
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
