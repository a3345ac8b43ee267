#include "MaintenanceTestKit.h"

#include "BookFiller.h"
#include "core/frmMain.h"
#include "maintenance/BackupFolderDialog.h"
#include "maintenance/frmDB.h"
#include "maintenance/frmDB1.h"
#include "maintenance/frmGetDB.h"
#include "maintenance/frmSaveDB.h"
#include "maintenance/LocationChoiceDialog.h"
#include "platform/engine/Database.h"
#include "platform/engine/DataSource.h"
#include "platform/ui/DirList.h"
#include "platform/ui/FileList.h"

#include <cerrno>
#include <cstring>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTest>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillory::test {

void verifyBackOnBook(const StartedProgram& program) {
    const QString book = program.folder.file(Book);
    QCOMPARE(program.main->Data1->databaseName(), book);
    QVERIFY(program.main->Data1->isOpen());
    QCOMPARE(program.main->Data1->absolutePosition(), 0);
    QCOMPARE(program.main->Data1->recordCount(), bookRows(book).size());
    auto db = engine::Database::open(book, engine::Database::Mode::ReadOnly);
    QCOMPARE(program.main->Text1->text(),
             db->scalar(QStringLiteral("SELECT name FROM PhoneBK ORDER BY name, namef LIMIT 1"))
                 .toString());
}

MaintenanceDialogs::MaintenanceDialogs(const QString& chosenFolder)
    : m_script([this, chosenFolder](QDialog& dialog) {
          auto choose = [&](LocationChoiceDialog& choice) {
              (chosenFolder.isEmpty() ? choice.OptLoc : choice.OptExt)->setChecked(true);
              choice.Command1->click();
          };
          if (auto* choice = qobject_cast<LocationChoiceDialog*>(&dialog)) {
              choose(*choice);
              return;
          }
          auto* chooser = qobject_cast<BackupFolderDialog*>(&dialog);
          QVERIFY(chooser);
          if (auto* restore = qobject_cast<frmGetDB*>(chooser)) {
              lastLocation = restore->lblDrive->text();
              lastLocationBold = restore->lblDrive->font().bold();
          }
          QVERIFY(chooser->Dir2->setPath(chosenFolder));
          label2BeforeOk = chooser->Label2->text();
          files = chooser->File2->files();
          chooser->Command1->click();
          label2AfterOk = chooser->Label2->text();
      }) {}

namespace {

QByteArray noisyPng(int seed) {
    QImage image(48, 48, QImage::Format_RGB32);
    QRandomGenerator random(quint32(seed) + 1);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, random.generate() | 0xff000000u);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

QList<QVariantMap> contactsWithPhotos(int count) {
    QList<QVariantMap> contacts;
    for (int i = 0; i < count; ++i) {
        const int n = (i * 37) % count; // stored out of name order
        QVariantMap contact = contactNamed(QStringLiteral("Last%1").arg(n, 4, 10, QLatin1Char('0')),
                                           QStringLiteral("First%1").arg(n));
        contact.insert(QStringLiteral("remarks"),
                       QStringLiteral("Remarks for contact %1. ").repeated(8).arg(n));
        if (i % 3 == 0)
            contact.insert(QStringLiteral("bitmap"), noisyPng(i));
        contacts.append(contact);
    }
    return contacts;
}

QList<QVariantList> bookRows(const QString& path) {
    auto db = engine::Database::open(path, engine::Database::Mode::ReadOnly);
    engine::Statement query(*db, QStringLiteral("SELECT * FROM PhoneBK ORDER BY id"));
    QList<QVariantList> rows;
    while (query.step()) {
        QVariantList row;
        for (int c = 0; c < query.columnCount(); ++c)
            row.append(query.column(c));
        rows.append(row);
    }
    return rows;
}

void deleteEveryOther(const QString& path) {
    auto db = engine::Database::open(path);
    db->exec(QStringLiteral("DELETE FROM PhoneBK WHERE id % 2 = 0"));
}

bool isHealthy(const QString& path) {
    try {
        auto db = engine::Database::open(path, engine::Database::Mode::ReadOnly);
        return db->scalar(QStringLiteral("PRAGMA integrity_check")).toString() ==
               QLatin1String("ok");
    } catch (const std::exception&) {
        return false;
    }
}

QStringList leftovers(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("Corvan1.MDB*"), QStringLiteral("Corvanel.BAK*"),
                                   QStringLiteral("*.new*"), QStringLiteral("*.previous*"),
                                   QStringLiteral("*.repair*"), QStringLiteral("*-journal")},
                                  QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                                  QDir::Name | QDir::IgnoreCase);
}

// --- StepScript ----------------------------------------------------------------------------

StepScript::StepScript() {
    bookfiles::setStepObserver([this](bookfiles::Step step, const QString& path) {
        m_seen.append(step);
        if (m_action && step == m_step) {
            auto action = std::move(m_action);
            m_action = nullptr;
            action(path);
        }
    });
}

StepScript::~StepScript() {
    bookfiles::setStepObserver({});
}

void StepScript::at(bookfiles::Step step, std::function<void(const QString&)> action) {
    m_step = step;
    m_action = std::move(action);
}

// --- ReadOnlyFolder ------------------------------------------------------------------------

ReadOnlyFolder::ReadOnlyFolder(QString path) : m_path(std::move(path)) {}

bool ReadOnlyFolder::apply(QString* why) {
    const QByteArray native = QFile::encodeName(m_path);
    if (::geteuid() == 0) {
        if (::mount(native.constData(), native.constData(), nullptr, MS_BIND, nullptr) != 0) {
            if (why)
                *why = QStringLiteral("bind mount refused: %1")
                           .arg(QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        m_mounted = true;
        if (::mount(nullptr, native.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY,
                    nullptr) != 0) {
            if (why)
                *why = QStringLiteral("read-only remount refused: %1")
                           .arg(QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        return true;
    }
    m_chmodded = ::chmod(native.constData(), 0555) == 0;
    if (!m_chmodded && why)
        *why = QStringLiteral("chmod refused");
    return m_chmodded;
}

ReadOnlyFolder::~ReadOnlyFolder() {
    undo();
}

void ReadOnlyFolder::undo() {
    const QByteArray native = QFile::encodeName(m_path);
    if (m_mounted)
        ::umount2(native.constData(), MNT_DETACH);
    if (m_chmodded)
        ::chmod(native.constData(), 0755);
    m_mounted = m_chmodded = false;
}

// --- SmallDisk -----------------------------------------------------------------------------

SmallDisk::SmallDisk(QString path, const QByteArray& size) : m_path(std::move(path)) {
    if (::geteuid() != 0) {
        m_why = QStringLiteral("a size-limited tmpfs needs root; the tests do not run as root");
        return;
    }
    const QByteArray options = "size=" + size;
    if (::mount("tmpfs", QFile::encodeName(m_path).constData(), "tmpfs", 0, options.constData()) !=
        0) {
        m_why = QStringLiteral("mounting a tmpfs failed: %1")
                    .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    m_mounted = true;
}

SmallDisk::~SmallDisk() {
    unmount();
}

void SmallDisk::unmount() {
    if (m_mounted)
        ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
    m_mounted = false;
}

void SmallDisk::fill() {
    QFile filler(QDir(m_path).filePath(QStringLiteral("filler.bin")));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Append))
        qFatal("cannot create the filler file");
    const QByteArray block(4096, 'f');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
}

// --- Faults --------------------------------------------------------------------------------

Faults::Faults(const TempProgramFolder& folder, ReadOnlyFolder* readOnly, SmallDisk* disk)
    : m_folder(folder), m_readOnly(readOnly), m_disk(disk) {}

bool Faults::bringAbout(const QString& fault, const QString& path) {
    if (fault == QLatin1String("read-only") && m_readOnly) {
        m_readOnly->apply(&m_why);
    } else if (fault == QLatin1String("full") && m_disk) {
        m_disk->fill();
    } else if (fault == QLatin1String("held")) {
        m_other.setDatabaseName(m_folder.file(Book));
        m_other.setRecordSource(QStringLiteral("PhoneBK"));
        m_other.refresh();
    } else if (fault == QLatin1String("short")) {
        engine::Database::open(path)->exec(QStringLiteral("DELETE FROM PhoneBK WHERE id = 1"));
    } else if (fault == QLatin1String("no stand-by")) {
        QFile::remove(m_folder.file(QStringLiteral("db.MDB")));
    } else {
        return false;
    }
    return true;
}

void Faults::undo() {
    if (m_readOnly)
        m_readOnly->undo();
    m_other.close();
    QFile::remove(m_folder.file(QStringLiteral("filler.bin")));
}

// --- Damage --------------------------------------------------------------------------------

namespace {

void overwritePage(const QString& path, int page, int pageSize) {
    QFile file(path);
    if (page < 2 || !file.open(QIODevice::ReadWrite))
        qFatal("cannot damage page %d of the book", page);
    file.seek(qint64(page - 1) * pageSize);
    file.write(QByteArray(pageSize, char(0xA5)));
}

} // namespace

int damageMiddleOfTable(const QString& path) {
    int page = 0;
    int pageSize = 0;
    {
        auto db = engine::Database::open(path, engine::Database::Mode::ReadOnly);
        pageSize = db->scalar(QStringLiteral("PRAGMA page_size")).toInt();
        engine::Statement leaves(*db, QStringLiteral("SELECT pageno FROM dbstat "
                                                     "WHERE name = 'PhoneBK' AND pagetype = 'leaf' "
                                                     "ORDER BY pageno"));
        QList<int> pages;
        while (leaves.step())
            pages.append(leaves.column(0).toInt());
        if (pages.size() < 3)
            qFatal("the book is too small to damage in the middle");
        page = pages.at(pages.size() / 2);
    }
    overwritePage(path, page, pageSize);
    return page;
}

void damageRootOf(const QString& path, const QString& name) {
    auto db = engine::Database::open(path, engine::Database::Mode::ReadOnly);
    const int page =
        db->scalar(QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = ?"), {name})
            .toInt();
    const int pageSize = db->scalar(QStringLiteral("PRAGMA page_size")).toInt();
    db.reset();
    overwritePage(path, page, pageSize);
}

QList<QVariantList> readableRows(const QString& path, int highestId) {
    auto db = engine::Database::open(path, engine::Database::Mode::ReadOnly);
    engine::Statement query(*db, QStringLiteral("SELECT * FROM PhoneBK WHERE id = ?"));
    QList<QVariantList> rows;
    for (int id = 1; id <= highestId; ++id) {
        try {
            query.reset();
            query.bind(1, id);
            if (!query.step())
                continue;
            QVariantList row;
            for (int c = 0; c < query.columnCount(); ++c)
                row.append(query.column(c));
            rows.append(row);
        } catch (const std::exception&) {
        }
    }
    return rows;
}

} // namespace quillory::test
