// The form window's title, where it opens and what it remembers of its
// size. The title starts with the form's caption, which the component finds
// the window by, and names the workspace and the workbook shown after it.
#pragma once

#include <QByteArray>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

class QMainWindow;
class QSplitter;

namespace kelv::form {

// "kelv 考务 — 考务示例 — 初一.xlsx[*]"; the workspace and the workbook are
// left out when empty. "[*]" is where Qt shows the unsaved-changes mark.
QString window_title(const QString& caption, const QString& workspace, const QString& workbook);
// The caption a title made by window_title starts with.
QString caption_of(const QString& title);

// Room for a window manager's title bar and borders around a window.
inline constexpr QSize kFrameRoom(16, 40);

// The size the window opens at the first time, 1200 × 720 or less: never
// larger than the screen's free area less room for the window's frame.
QSize first_size(const QSize& available);
// Where a window of outer size `frame` goes on a screen's free area
// `available`: where it is when it lies inside, else moved (and shrunk) to
// lie inside; centred when `centre`.
QRect placed_on_screen(const QRect& frame, const QRect& available, bool centre);

// The window's size, place and splitter, kept in the user's settings.
void restore_window(QMainWindow& window, QSplitter& splitter);
void remember_window(const QMainWindow& window, const QSplitter& splitter);

// The workspaces opened, newest first, at most kRecentKept; `remember`
// puts one at the top. Only folders that still exist are handed out.
inline constexpr int kRecentKept = 8;
QStringList recent_workspaces();
void remember_recent_workspace(const QString& folder);

// The settings keys (tests clear them).
inline constexpr const char* kWindowGeometryKey = "window/geometry";
inline constexpr const char* kSplitterKey = "window/splitter";
inline constexpr const char* kRecentKey = "recent_workspaces";

}  // namespace kelv::form
