#include "app/form/window_state.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <algorithm>

namespace kelv::form {
namespace {

const QString kSeparator = QStringLiteral(" — ");
constexpr QSize kPreferredSize(1200, 720);

// The form's own settings (the last workspace is kept there too).
constexpr const char* kOrganisation = "kelv";
constexpr const char* kApplication = "kelv-form";

QRect available_on(const QWidget& window) {
  const QScreen* screen = window.screen();
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1200, 800);
}

}  // namespace

QString window_title(const QString& caption, const QString& workspace, const QString& workbook) {
  QString title = caption;
  for (const QString& part : {workspace, workbook})
    if (!part.isEmpty()) title += kSeparator + part;
  return title + "[*]";
}

QString caption_of(const QString& title) {
  QString caption = title;
  caption.remove("[*]");
  const qsizetype at = caption.indexOf(kSeparator);
  return at < 0 ? caption : caption.left(at);
}

QSize first_size(const QSize& available) {
  return kPreferredSize.boundedTo(available - kFrameRoom).expandedTo(QSize(1, 1));
}

QRect placed_on_screen(const QRect& frame, const QRect& available, bool centre) {
  QRect r(frame.topLeft(), frame.size().boundedTo(available.size()));
  if (centre) r.moveCenter(available.center());
  r.moveLeft(std::clamp(r.left(), available.left(), available.right() - r.width() + 1));
  r.moveTop(std::clamp(r.top(), available.top(), available.bottom() - r.height() + 1));
  return r;
}

void restore_window(QMainWindow& window, QSplitter& splitter) {
  const QSettings s(kOrganisation, kApplication);
  const QRect available = available_on(window);
  const bool restored = window.restoreGeometry(s.value(kWindowGeometryKey).toByteArray());
  if (!restored) window.resize(first_size(available.size()));
  // A size remembered on a larger screen still fits this one.
  const QSize frame = window.frameGeometry().size() - window.geometry().size();
  const QSize room = (available.size() - frame.expandedTo(kFrameRoom)).expandedTo(QSize(1, 1));
  if (window.width() > room.width() || window.height() > room.height())
    window.resize(window.size().boundedTo(room));
  // Moved only when it would not lie on the screen: a window put back where
  // it was is left there.
  const QRect outer(window.pos(), window.size() + frame.expandedTo(kFrameRoom));
  const QRect placed = placed_on_screen(outer, available, !restored);
  if (placed.topLeft() != outer.topLeft()) window.move(placed.topLeft());
  splitter.restoreState(s.value(kSplitterKey).toByteArray());
}

void remember_window(const QMainWindow& window, const QSplitter& splitter) {
  QSettings s(kOrganisation, kApplication);
  s.setValue(kWindowGeometryKey, window.saveGeometry());
  s.setValue(kSplitterKey, splitter.saveState());
}

QStringList recent_workspaces() {
  QStringList kept;
  for (const QString& folder :
       QSettings(kOrganisation, kApplication).value(kRecentKey).toStringList())
    if (QFileInfo(folder).isDir() && !kept.contains(folder)) kept << folder;
  return kept;
}

void remember_recent_workspace(const QString& folder) {
  QSettings s(kOrganisation, kApplication);
  QStringList list = s.value(kRecentKey).toStringList();
  list.removeAll(folder);
  list.prepend(folder);
  while (list.size() > kRecentKept) list.removeLast();
  s.setValue(kRecentKey, list);
}

}  // namespace kelv::form
