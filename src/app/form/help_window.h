// The user guide in a window of its own: the guide the program was built
// with, the same text 帮助.doc is written from, with its pictures, its
// chapters listed beside it and a find field above it. Everything it shows
// is compiled into the program, so help needs no word processor and no file
// beside the program.
#pragma once

#include <QLineEdit>
#include <QListWidget>
#include <QString>
#include <QTextBrowser>
#include <QUrl>
#include <QWidget>

namespace kelv::form {

class HelpWindow : public QWidget {
 public:
  // A window of its own (parented, so it closes with the form).
  explicit HelpWindow(QWidget* parent = nullptr);

  // Opens the guide at its start, or at the chapter whose heading begins
  // with `chapter` ("七、"): shown, raised and given the focus.
  void show_guide(const QString& chapter = QString());

  QTextBrowser* browser() const { return browser_; }
  QListWidget* chapters() const { return chapters_; }
  QLineEdit* find_field() const { return find_; }
  // The chapter headings of the page shown, in order.
  QStringList chapter_titles() const;
  // Scrolls chapter `index` of the list to the top of the page.
  void show_chapter(int index);
  // Finds the next occurrence of the find field's text, round the end.
  bool find_next(bool forward = true);

  // Where the guide lives among the program's resources.
  static QUrl guide_url();

 private:
  // After a page loaded: its chapter list and pictures fitted to the width.
  void page_loaded();
  void fit_pictures();

  QLineEdit* find_;
  QListWidget* chapters_;
  QTextBrowser* browser_;
  int fitted_width_ = 0;
  bool placed_ = false;
};

// The 关于 box: the program, its version and what it is for.
QString about_text();

}  // namespace kelv::form
