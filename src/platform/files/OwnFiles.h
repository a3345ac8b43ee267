#pragma once

#include <functional>
#include <QString>
#include <QStringList>

namespace quillory::files {

// The files the program keeps for itself (the book, its back-up, the settings, the stand-by and
// working copies, ...). No export and no PDF may be written over one of them: the program would
// take the text for its book or its settings the next time it reads them.

// Names the program's own files; the list is asked for at every check, so that files made since
// count too. Set by the program once its folder is known.
void setOwnFiles(std::function<QStringList()> list);

// Whether writing `target` would write over `kept`: the same file (device and inode) when both
// exist, else the same name in the same folder (the folder's device and inode, the name without
// regard to letter case, as the program finds its files). A link counts as the file it leads to.
bool writesOver(const QString& target, const QString& kept);

// Throws PlatformError (75), naming `target`, when it would write over one of the program's own
// files or one of `alsoKept`.
void refuseOwnFile(const QString& target, const QStringList& alsoKept = {});

} // namespace quillory::files
