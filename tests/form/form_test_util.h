// Small helpers the desktop form's tests share.
#pragma once

#include <QListWidget>
#include <QString>

namespace kelv::form {

// The row of a list box showing `text`; -1 when none does.
inline int row_of(QListWidget* list, const QString& text) {
  for (int i = 0; i < list->count(); ++i)
    if (list->item(i)->text() == text) return i;
  return -1;
}

}  // namespace kelv::form
