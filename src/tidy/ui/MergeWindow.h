#pragma once

#include <QVector>

class QWidget;

namespace quillory {

class AppContext;

// Opens the merge window (frmMain's card typing written first) for two or more contacts of the
// book, given by row id; the first is the one kept. The user picks a value for each field,
// then Merge or Cancel. After a merge the main window shows the merged contact on the card, in
// the view it was in. Returns whether a merge happened.
bool runMerge(AppContext& app, const QVector<qint64>& ids, QWidget* parent);

} // namespace quillory
