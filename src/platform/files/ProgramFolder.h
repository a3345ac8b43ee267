#pragma once

#include <QString>

namespace quillory {

// Where the book, the settings and the files beside the program live, and where the files
// that ship with the program (templates, tips, help) are found.
class ProgramFolder {
public:
    // Chooses the folder: `homeOption` (from --home, see files::folderFromNative) when given,
    // else QUILLORY_HOME, else the executable's folder when it is writable, else the user's
    // data folder. The folder is created when it does not exist. Names from the environment
    // are taken as the file system's bytes (files::folderFromNative); a folder that cannot be
    // made or opened under them throws PlatformError.
    static ProgramFolder choose(const QString& homeOption, const QString& executableFolder);

    explicit ProgramFolder(QString path, QString resourceFolder = {});

    QString path() const { return m_path; }

    // The program folder joined with a name such as "\Corvanel.MDB"; letter case of an
    // existing file is matched without regard to case.
    QString file(const QString& name) const;

    // A file that ships with the program: found in the program folder first, then in the
    // folder the program was installed with.
    QString resource(const QString& name) const;

private:
    QString m_path;
    QString m_resourceFolder;
};

} // namespace quillory
