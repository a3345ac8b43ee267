#pragma once

#include "platform/ui/DirList.h"
#include "platform/ui/DriveList.h"
#include "platform/ui/FileList.h"

#include <QString>
#include <QStringList>

namespace quillory::ui {

// Wires the three lists the way every "choose a folder and a file" dialog of the program uses
// them: choosing a drive takes the folder list to the drive's root, and opening a folder takes
// the file list to that folder. The lists start where they stand: the drive list is moved
// (without notifying) to the drive that holds the folder list's folder, and the file list to
// that folder. Any of the three may be null; the others are still linked.
void linkLists(DriveList* drives, DirList* folders, FileList* files);

namespace lists {

// Helpers shared by the three lists.

// `path` made absolute against `base` (the process's current folder when `base` is empty) and
// cleaned: no "." or ".." parts, no trailing separator except on the root.
QString absolutePath(const QString& path, const QString& base);

// True for a folder the user can look into: it exists, and it can be read and entered.
bool isListableFolder(const QString& path);

// Sorts names without regard to letter case; names that differ only in case keep a fixed
// order, so a listing does not shuffle between refreshes.
void sortNames(QStringList& names);

// A font-based minimum size, so the lists look the same at any screen resolution.
QSize minimumListSize(const QWidget& widget);

} // namespace lists

} // namespace quillory::ui
