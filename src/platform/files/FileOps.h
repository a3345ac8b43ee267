#pragma once

#include <QByteArrayView>
#include <QString>

class QFileDevice;
class QSaveFile;

namespace quillory::files {

// The file calls the program's maintenance steps rely on. Each throws PlatformError with the
// runtime's file-system number when it fails.

// Deletes a file ("Kill"). A missing file is error 53, a missing folder 76.
void deleteFile(const QString& path);

// Renames a file ("Name ... As ..."). The target must not exist (error 58 otherwise).
void renameFile(const QString& from, const QString& to);

// Replaces `to` with `from` in one step (rename over an existing file), then makes the
// folder's entry durable.
void replaceFile(const QString& from, const QString& to);

// Gives the file `existing` a second name `newName` (a hard link), so that it stays where it
// is under both. Returns false when the file system has no such names (FAT sticks, some
// network shares); other failures throw, a missing file as 53 (76 when its folder is missing).
bool linkFile(const QString& existing, const QString& newName);

// Flushes a file's contents, and the folder that lists it, to the disk.
void syncFile(const QString& path);
void syncFolder(const QString& folder);

// Writes all of `bytes` to `file` (best opened Unbuffered), going on after a short write, so that
// a failure carries the system's reason: a write cut short by a full disk reports no error of its
// own, only the next one says "No space left on device". Throws PlatformError with the
// file-system number of that reason: "The file "<name>" cannot be written: <reason>."
void writeAll(QFileDevice& file, QByteArrayView bytes, const QString& name);
// Commits a save file, a failure thrown as writeAll throws it.
void commitAll(QSaveFile& file, const QString& name);

// Finds an existing file in `folder` whose name matches `name` without regard to letter case;
// returns folder + separator + the name as it stands on the disk, or folder + separator +
// `name` when there is none.
QString resolveName(const QString& folder, const QString& name);

// Joins a folder and a name with exactly one separator between them.
QString joinPath(const QString& folder, const QString& name);

// The path by which the program's file calls reach the folder that the bytes `native` name,
// as the command line or the environment hands them over. The name is decoded as the file
// system's names are; a name that decoding cannot carry (Latin-1 bytes under a UTF-8 locale)
// cannot be spelt as text that leads back to it, so that folder is opened and reached through
// the process's handle on it ("/proc/self/fd/N", kept open while the program runs). With
// `create`, such a folder is made first when missing, under the name exactly as given, and
// one that cannot be made or opened throws PlatformError (53, or 76 when a folder above it is
// missing). A name that decoding carries is returned as text, whether the folder exists or
// not. Empty for an empty name.
QString folderFromNative(const QByteArray& native, bool create);

// The file-system number for a failed call on `path`, telling a missing folder (76) from a
// missing file (53).
int errorNumberFor(int err, const QString& path);

} // namespace quillory::files
