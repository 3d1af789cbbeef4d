// kelv-form [WORKSPACE]: the desktop form.
#include <QApplication>
#include <QTimer>

#include "app/form/main_window.h"

#ifdef KELV_FORM_SAMPLE
#include "app/sample/sample_workspace.h"
#include "xlsx/xlsx_format.h"
#endif

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("kelv-form");

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
