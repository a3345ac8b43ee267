#pragma once

// What the maintenance tests share: the files they work on, books with photos, whole-row
// comparisons, and the real faults the sequences are put through (a read-only folder, a full
// disk, a fault at a chosen step).

#include "core/BookFiles.h"
#include "platform/engine/DataSource.h"
#include "StartedProgram.h"
#include "TestSupport.h"

#include <functional>
#include <memory>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

namespace quillory::test {

// The book and its back-up, in the program folder or on another drive.
inline const QString Book = QStringLiteral("Corvanel.MDB");
inline const QString Backup = QStringLiteral("Corvanel.MD1");

// The main window is open on the book in the program's folder again, on the first contact of
// its view.
void verifyBackOnBook(const StartedProgram& program);

// Answers the back-up and restore dialogs as a user would: frmDB and frmDB1 with the program
// folder or, when `chosenFolder` is given, the other drive; frmSaveDB and frmGetDB by opening
// that folder and pressing OK. What the folder dialogs showed is kept for the test.
class MaintenanceDialogs {
public:
    explicit MaintenanceDialogs(const QString& chosenFolder = {});
    QString label2BeforeOk;
    QString label2AfterOk;
    QStringList files;
    QString lastLocation;
    bool lastLocationBold = false;

private:
    ModalScript m_script;
};

// `count` contacts named "Last<n>"/"First<n>" in an order that sorting changes, every third
// with a photo (real PNG bytes that do not compress).
QList<QVariantMap> contactsWithPhotos(int count);

// Every row of PhoneBK, every column, in id order: two books hold the same contacts when these
// compare equal.
QList<QVariantList> bookRows(const QString& path);

// Deletes every other contact, so the file holds free pages a compaction gives back.
void deleteEveryOther(const QString& path);

// True when PRAGMA integrity_check finds nothing.
bool isHealthy(const QString& path);

// The files a sequence must not leave behind in `folder` (temporary and kept-aside names).
QStringList leftovers(const QString& folder);

// Runs an action the first time a step of the whole-file sequences comes, and records the
// steps seen.
class StepScript {
public:
    StepScript();
    ~StepScript();
    StepScript(const StepScript&) = delete;
    StepScript& operator=(const StepScript&) = delete;

    void at(bookfiles::Step step, std::function<void(const QString& path)> action);
    const QList<bookfiles::Step>& seen() const { return m_seen; }

private:
    QList<bookfiles::Step> m_seen;
    bookfiles::Step m_step{};
    std::function<void(const QString&)> m_action;
};

// Makes a folder read-only until destroyed: a read-only bind mount of the folder when the
// tests run as root (root passes over permission bits), else its permission bits.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(QString path);
    ~ReadOnlyFolder();
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;
    // Applies it; false, with the reason, when it cannot be done here.
    bool apply(QString* why = nullptr);
    // Makes it writable again.
    void undo();

private:
    QString m_path;
    bool m_mounted = false;
    bool m_chmodded = false;
};

// A size-limited tmpfs mounted on an (empty) folder until destroyed; root only.
class SmallDisk {
public:
    SmallDisk(QString path, const QByteArray& size);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return m_mounted; }
    QString whyNot() const { return m_why; }
    // Fills what is left of the disk with a file of its own.
    void fill();
    // Takes the disk away, as a stick pulled out.
    void unmount();

private:
    QString m_path;
    bool m_mounted = false;
    QString m_why;
};

// Brings about, when a StepScript reaches its step, one of the faults the sequences are put
// through: "read-only" (a folder made read-only), "full" (a disk filled), "held" (the book
// opened by another data source), "short" (a contact deleted from the copy being made) and
// "no stand-by" (the stand-by database deleted).
class Faults {
public:
    // `folder` is the program folder; `readOnly` and `disk` are the folder and the disk the
    // faults of those names act on, where the test has them.
    explicit Faults(const TempProgramFolder& folder, ReadOnlyFolder* readOnly = nullptr,
                    SmallDisk* disk = nullptr);
    // Brings about `fault`; `path` is the file the step works on. False for a fault of the
    // test's own.
    bool bringAbout(const QString& fault, const QString& path);
    // Why the folder could not be made read-only here; empty when nothing stood in the way.
    const QString& whyNot() const { return m_why; }
    // Takes the causes away: the folder writable, the book let go, the disk's filler deleted.
    void undo();

private:
    const TempProgramFolder& m_folder;
    ReadOnlyFolder* m_readOnly;
    SmallDisk* m_disk;
    engine::DataSource m_other;
    QString m_why;
};

// Overwrites one page of PhoneBK's rows in the middle of the file with garbage; returns the
// page number.
int damageMiddleOfTable(const QString& path);
// Overwrites the first page of the table or index `name` with garbage.
void damageRootOf(const QString& path, const QString& name);

// The contacts that can still be read from a damaged book one by one (by id), whole rows.
QList<QVariantList> readableRows(const QString& path, int highestId);

} // namespace quillory::test
