#pragma once

#include "core/CommandTable.h"

#include <QChar>
#include <QString>

namespace quillory {

class frmMain;

// Moving through the open record source and editing the card: first, previous, next, last,
// add, save, delete, the views, the letter index. Each step works on the main window's data
// source and card. A write that fails when the source moves is reported with its reason and
// the card keeps the user's typing.
namespace navigation {

// Starts a new contact; from every origin the focus goes to the last-name box.
void addNew(frmMain& main, CommandOrigin origin);
void save(frmMain& main);
void deleteCurrent(frmMain& main);
void moveFirst(frmMain& main);
void moveUp(frmMain& main);
void moveDown(frmMain& main);
void moveLast(frmMain& main);

// Opens a view: the record-source text and the status text that names it.
void openView(frmMain& main, const QString& recordSource, const QString& panelText);
void showPersonal(frmMain& main);
void showBusiness(frmMain& main);
void showAll(frmMain& main);

// Jumps to the first contact whose last name begins with `letter`, inside the open view.
void jumpToLetter(frmMain& main, QChar letter);

// Makes a grid row the current row.
void moveToRow(frmMain& main, int row);

// Runs a step that may write the card's pending edits. When the write fails, the user is told
// why and false comes back; the edits stay pending.
bool writeOrReport(frmMain& main, const std::function<void()>& step);

} // namespace navigation
} // namespace quillory
