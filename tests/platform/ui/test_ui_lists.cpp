#include "platform/ui/FileSystemLists.h"

#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

using quillory::ui::DirList;
using quillory::ui::DriveList;
using quillory::ui::FileList;
using quillory::ui::FilePattern;

namespace {

void touch(const QString& folder, const QString& name) {
    QFile file(QDir(folder).filePath(name));
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(file.fileName()));
}

QString makeFolder(const QString& parent, const QString& name) {
    const QString path = QDir(parent).filePath(name);
    if (!QDir().mkpath(path))
        qFatal("cannot create %s", qPrintable(path));
    return path;
}

// The list's item for a file or folder name, for clicking on it.
QListWidgetItem* itemNamed(FileList& list, const QString& name) {
    const QList<QListWidgetItem*> found =
        list.findItems(name, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    return found.value(0);
}

QTreeWidgetItem* itemNamed(DirList& list, const QString& name) {
    const QList<QTreeWidgetItem*> found =
        list.findItems(name, Qt::MatchFixedString | Qt::MatchCaseSensitive | Qt::MatchRecursive);
    return found.value(0);
}

} // namespace

class TestUiLists : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void patternMatchesWithoutRegardToCase_data();
    void patternMatchesWithoutRegardToCase();
    void fileListShowsOnlyMatchingFilesSorted();
    void fileNameIsSelectedAndClearedByPathChange();
    void fileNameFollowsPatternAndRefresh();
    void userClicksAreReportedProgramChoicesAreNot();
    void tenThousandFilesAreListed();

    void subfoldersSortedWithoutHiddenOnes();
    void missingFolderKeepsThePath();
    void unreadableFolderKeepsThePath();
    void foldersOpenByDoubleClickEnterAndBackspace();
    void refreshClimbsOutOfARemovedFolder();

    void userVolumesAreTold_data();
    void userVolumesAreTold();
    void driveIsTheLongestRootHoldingThePath();
    void driveNotReadyKeepsThePreviousDrive();

    void linkedListsFollowDriveAndFolder();
};

void TestUiLists::patternMatchesWithoutRegardToCase_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("matches");

    const QString photos = QStringLiteral("*.bmp;*.jpg;*.gif;*.wmf");
    QTest::newRow("upper-case photo") << photos << "PHOTO.JPG" << true;
    QTest::newRow("last of several") << photos << "logo.wmf" << true;
    QTest::newRow("longer extension") << photos << "photo.jpeg" << false;
    QTest::newRow("extension inside") << photos << "photo.jpg.txt" << false;

    const QString backup = QStringLiteral("Corvanel.MD1");
    QTest::newRow("exact name") << backup << "Corvanel.MD1" << true;
    QTest::newRow("exact name, other case") << backup << "corvanel.md1" << true;
    QTest::newRow("exact name is whole") << backup << "Corvanel.MD1.bak" << false;
    QTest::newRow("exact name, prefix") << backup << "xCorvanel.MD1" << false;
    QTest::newRow("dot is no wildcard") << backup << "CorvanelxMD1" << false;

    QTest::newRow("star dot star, no dot") << "*.*"
                                           << "README" << true;
    QTest::newRow("empty pattern") << ""
                                   << "anything" << true;
    QTest::newRow("only separators") << " ; ;"
                                     << "anything" << true;
    QTest::newRow("question mark") << "a?c.txt"
                                   << "ABC.txt" << true;
    QTest::newRow("question mark is one") << "a?c.txt"
                                          << "abbc.txt" << false;
    QTest::newRow("blanks around parts") << " *.exe ; *.bin "
                                         << "Writer.EXE" << true;
    QTest::newRow("bracket is literal") << "photo[1].jpg"
                                        << "PHOTO[1].JPG" << true;
    QTest::newRow("bracket is no set") << "photo[1].jpg"
                                       << "photo1.jpg" << false;
    QTest::newRow("regex characters") << "a+b (1).txt"
                                      << "A+B (1).TXT" << true;
}

void TestUiLists::patternMatchesWithoutRegardToCase() {
    QFETCH(QString, pattern);
    QFETCH(QString, name);
    QFETCH(bool, matches);
    QCOMPARE(FilePattern(pattern).matches(name), matches);
}

void TestUiLists::fileListShowsOnlyMatchingFilesSorted() {
    QTemporaryDir dir;
    for (const char* name : {"PHOTO.JPG", "b.bmp", "c.GIF", "notes.txt", ".hidden.jpg",
                             "corvanel.md1", "Corvanel.MD1.old"})
        touch(dir.path(), QString::fromLatin1(name));
    makeFolder(dir.path(), QStringLiteral("folder.jpg"));

    FileList list;
    QSignalSpy patternSpy(&list, &FileList::patternChanged);
    QVERIFY(list.setPath(dir.path()));
    list.setPattern(QStringLiteral("*.bmp;*.jpg;*.gif;*.wmf"));
    QCOMPARE(list.files(), QStringList({"b.bmp", "c.GIF", "PHOTO.JPG"}));

    list.setPattern(QStringLiteral("Corvanel.MD1"));
    QCOMPARE(list.files(), QStringList({"corvanel.md1"}));
    QCOMPARE(patternSpy.count(), 2);
    QCOMPARE(patternSpy.last().at(0).toString(), QStringLiteral("Corvanel.MD1"));

    list.setPattern(QStringLiteral("Corvanel.MD1"));
    QCOMPARE(patternSpy.count(), 2);

    list.setPattern(QStringLiteral("*.*"));
    QCOMPARE(list.files(), QStringList({"b.bmp", "c.GIF", "corvanel.md1", "Corvanel.MD1.old",
                                        "notes.txt", "PHOTO.JPG"}));
}

void TestUiLists::fileNameIsSelectedAndClearedByPathChange() {
    QTemporaryDir dir;
    const QString first = makeFolder(dir.path(), QStringLiteral("first"));
    const QString second = makeFolder(dir.path(), QStringLiteral("second"));
    touch(first, QStringLiteral("PHOTO.JPG"));
    touch(first, QStringLiteral("b.bmp"));
    touch(second, QStringLiteral("other.jpg"));

    FileList list;
    QVERIFY(list.setPath(first));
    QSignalSpy pathSpy(&list, &FileList::pathChanged);
    QSignalSpy clickSpy(&list, &FileList::fileClicked);

    QVERIFY(list.fileName().isEmpty());
    QVERIFY(list.setFileName(QStringLiteral("photo.jpg")));
    QCOMPARE(list.fileName(), QStringLiteral("PHOTO.JPG"));
    QCOMPARE(list.filePath(), QDir(first).filePath(QStringLiteral("PHOTO.JPG")));

    QVERIFY(!list.setFileName(QStringLiteral("missing.jpg")));
    QVERIFY(list.fileName().isEmpty());
    QVERIFY(list.filePath().isEmpty());

    QVERIFY(list.setFileName(QStringLiteral("b.bmp")));
    QVERIFY(list.setPath(second));
    QVERIFY(list.fileName().isEmpty());
    QCOMPARE(list.files(), QStringList{QStringLiteral("other.jpg")});
    QCOMPARE(pathSpy.count(), 1);
    QCOMPARE(pathSpy.last().at(0).toString(), second);

    // The same folder again changes nothing; a missing one is refused.
    QVERIFY(list.setFileName(QStringLiteral("other.jpg")));
    QVERIFY(list.setPath(second + QStringLiteral("/")));
    QCOMPARE(list.fileName(), QStringLiteral("other.jpg"));
    QVERIFY(!list.setPath(dir.filePath(QStringLiteral("missing"))));
    QVERIFY(!list.setPath(QDir(second).filePath(QStringLiteral("other.jpg"))));
    QCOMPARE(list.path(), second);
    QCOMPARE(list.fileName(), QStringLiteral("other.jpg"));
    QCOMPARE(pathSpy.count(), 1);

    // A full path moves the list to the file's folder; a relative one is taken from the list's.
    QVERIFY(list.setFileName(QDir(first).filePath(QStringLiteral("B.BMP"))));
    QCOMPARE(list.path(), first);
    QCOMPARE(list.fileName(), QStringLiteral("b.bmp"));
    QVERIFY(list.setPath(QStringLiteral("../second")));
    QCOMPARE(list.path(), second);
    QCOMPARE(pathSpy.count(), 3);

    // Choices made by the program are not the user's clicks.
    QCOMPARE(clickSpy.count(), 0);
}

void TestUiLists::fileNameFollowsPatternAndRefresh() {
    QTemporaryDir dir;
    touch(dir.path(), QStringLiteral("a.bmp"));
    touch(dir.path(), QStringLiteral("b.gif"));

    FileList list;
    QVERIFY(list.setPath(dir.path()));
    QVERIFY(list.setFileName(QStringLiteral("a.bmp")));

    list.setPattern(QStringLiteral("*.BMP;*.jpg"));
    QCOMPARE(list.fileName(), QStringLiteral("a.bmp"));
    list.setPattern(QStringLiteral("*.gif"));
    QVERIFY(list.fileName().isEmpty());

    // A wildcard given as the file name becomes the pattern.
    QVERIFY(list.setFileName(QStringLiteral("*.bmp")));
    QCOMPARE(list.pattern(), QStringLiteral("*.bmp"));
    QCOMPARE(list.files(), QStringList{QStringLiteral("a.bmp")});

    // Refresh shows files made since, and keeps the selection while its file is there.
    QVERIFY(list.setFileName(QStringLiteral("a.bmp")));
    touch(dir.path(), QStringLiteral("c.bmp"));
    list.refresh();
    QCOMPARE(list.files(), QStringList({"a.bmp", "c.bmp"}));
    QCOMPARE(list.fileName(), QStringLiteral("a.bmp"));
    QVERIFY(QFile::remove(dir.filePath(QStringLiteral("a.bmp"))));
    list.refresh();
    QCOMPARE(list.files(), QStringList{QStringLiteral("c.bmp")});
    QVERIFY(list.fileName().isEmpty());

    // The folder removed under the list: refresh shows nothing and does not fail.
    QVERIFY(dir.remove());
    list.refresh();
    QCOMPARE(list.count(), 0);
}

void TestUiLists::userClicksAreReportedProgramChoicesAreNot() {
    QTemporaryDir dir;
    touch(dir.path(), QStringLiteral("a.jpg"));
    touch(dir.path(), QStringLiteral("b.jpg"));

    FileList list;
    QVERIFY(list.setPath(dir.path()));
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QSignalSpy clickSpy(&list, &FileList::fileClicked);
    QSignalSpy doubleSpy(&list, &FileList::fileDoubleClicked);

    const auto click = [&list](const QString& name) {
        QListWidgetItem* item = itemNamed(list, name);
        QVERIFY(item != nullptr);
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(item).center());
    };

    click(QStringLiteral("b.jpg"));
    QCOMPARE(clickSpy.count(), 1);
    QCOMPARE(clickSpy.last().at(0).toString(), QStringLiteral("b.jpg"));
    QCOMPARE(list.fileName(), QStringLiteral("b.jpg"));

    // Clicking the selected file again is a click all the same.
    click(QStringLiteral("b.jpg"));
    QCOMPARE(clickSpy.count(), 2);

    // Arrow keys choose as clicks do.
    QTest::keyClick(&list, Qt::Key_Up);
    QCOMPARE(list.fileName(), QStringLiteral("a.jpg"));
    QCOMPARE(clickSpy.count(), 3);
    QCOMPARE(clickSpy.last().at(0).toString(), QStringLiteral("a.jpg"));

    QListWidgetItem* item = itemNamed(list, QStringLiteral("b.jpg"));
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(item).center());
    QCOMPARE(doubleSpy.count(), 1);
    QCOMPARE(doubleSpy.last().at(0).toString(), QStringLiteral("b.jpg"));

    const int clicksBefore = int(clickSpy.count());
    list.setFileName(QStringLiteral("a.jpg"));
    list.refresh();
    QCOMPARE(clickSpy.count(), clicksBefore);
}

void TestUiLists::tenThousandFilesAreListed() {
    QTemporaryDir dir;
    for (int i = 0; i < 10000; ++i) {
        const QString extension = i % 2 == 0 ? QStringLiteral("JPG") : QStringLiteral("txt");
        touch(dir.path(),
              QStringLiteral("file%1.%2").arg(i, 5, 10, QLatin1Char('0')).arg(extension));
    }

    FileList list;
    QVERIFY(list.setPath(dir.path()));
    QCOMPARE(list.count(), 10000);
    list.setPattern(QStringLiteral("*.bmp;*.jpg;*.gif;*.wmf"));
    QCOMPARE(list.count(), 5000);
    QCOMPARE(list.item(0)->text(), QStringLiteral("file00000.JPG"));
    QCOMPARE(list.item(4999)->text(), QStringLiteral("file09998.JPG"));

    // The folder list in the same folder lists no file as a folder.
    DirList folders;
    QVERIFY(folders.setPath(dir.path()));
    QVERIFY(folders.subfolders().isEmpty());
}

void TestUiLists::subfoldersSortedWithoutHiddenOnes() {
    QTemporaryDir dir;
    for (const char* name : {"beta", "Alpha", ".hidden", "gamma", "Delta", "alpha"})
        makeFolder(dir.path(), QString::fromLatin1(name));
    touch(dir.path(), QStringLiteral("epsilon.txt"));

    DirList list;
    QVERIFY(list.setPath(dir.path()));
    QCOMPARE(list.subfolders(), QStringList({"Alpha", "alpha", "beta", "Delta", "gamma"}));

    // Above the subfolders: the way down from "/", one item per level, the last the current.
    QCOMPARE(list.topLevelItemCount(), 1);
    QTreeWidgetItem* level = list.topLevelItem(0);
    QCOMPARE(level->text(0), QStringLiteral("/"));
    for (const QString& part : dir.path().split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        QCOMPARE(level->childCount(), 1);
        level = level->child(0);
        QCOMPARE(level->text(0), part);
    }
    QCOMPARE(list.currentItem(), level);
    QCOMPARE(level->childCount(), 5);
}

void TestUiLists::missingFolderKeepsThePath() {
    QTemporaryDir dir;
    const QString folder = makeFolder(dir.path(), QStringLiteral("here"));
    touch(folder, QStringLiteral("file.txt"));

    DirList list;
    QVERIFY(list.setPath(folder));
    QSignalSpy pathSpy(&list, &DirList::pathChanged);

    QVERIFY(!list.setPath(dir.filePath(QStringLiteral("missing"))));
    QVERIFY(!list.setPath(QDir(folder).filePath(QStringLiteral("file.txt"))));
    QVERIFY(!list.setPath(QString()));
    QCOMPARE(list.path(), folder);
    QVERIFY(pathSpy.isEmpty());

    QVERIFY(list.setPath(folder + QStringLiteral("/./")));
    QVERIFY(pathSpy.isEmpty());
    QVERIFY(list.setPath(QStringLiteral("..")));
    QCOMPARE(list.path(), dir.path());
    QVERIFY(list.setPath(QStringLiteral("here")));
    QCOMPARE(list.path(), folder);
    QCOMPARE(pathSpy.count(), 2);
}

void TestUiLists::unreadableFolderKeepsThePath() {
    if (geteuid() == 0)
        QSKIP("root reads every folder whatever its permissions");
    QTemporaryDir dir;
    const QString locked = makeFolder(dir.path(), QStringLiteral("locked"));
    makeFolder(locked, QStringLiteral("inside"));
    QVERIFY(QFile::setPermissions(locked, QFileDevice::WriteOwner));

    DirList folders;
    QVERIFY(folders.setPath(dir.path()));
    QSignalSpy notReadable(&folders, &DirList::folderNotReadable);
    QVERIFY(!folders.setPath(locked));
    QCOMPARE(folders.path(), dir.path());
    QCOMPARE(notReadable.count(), 1);
    QCOMPARE(folders.subfolders(), QStringList{QStringLiteral("locked")});

    FileList files;
    QVERIFY(files.setPath(dir.path()));
    QVERIFY(!files.setPath(locked));
    QCOMPARE(files.path(), dir.path());
    QFile::setPermissions(locked,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void TestUiLists::foldersOpenByDoubleClickEnterAndBackspace() {
    QTemporaryDir dir;
    const QString outer = makeFolder(dir.path(), QStringLiteral("outer"));
    const QString inner = makeFolder(outer, QStringLiteral("inner"));

    DirList list;
    QVERIFY(list.setPath(dir.path()));
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QSignalSpy pathSpy(&list, &DirList::pathChanged);

    // A single click only highlights.
    QTreeWidgetItem* item = itemNamed(list, QStringLiteral("outer"));
    QVERIFY(item != nullptr);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(item).center());
    QCOMPARE(list.path(), dir.path());

    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(item).center());
    QCOMPARE(list.path(), outer);
    QCOMPARE(list.subfolders(), QStringList{QStringLiteral("inner")});

    list.setCurrentItem(itemNamed(list, QStringLiteral("inner")));
    QTest::keyClick(&list, Qt::Key_Return);
    QCOMPARE(list.path(), inner);

    // Opening an ancestor goes back up.
    list.setCurrentItem(list.topLevelItem(0));
    QTest::keyClick(&list, Qt::Key_Enter);
    QCOMPARE(list.path(), QStringLiteral("/"));
    QVERIFY(list.setPath(inner));
    QTest::keyClick(&list, Qt::Key_Backspace);
    QCOMPARE(list.path(), outer);

    const QStringList seen = [&] {
        QStringList paths;
        for (const QList<QVariant>& call : pathSpy)
            paths.append(call.at(0).toString());
        return paths;
    }();
    QCOMPARE(seen, QStringList({outer, inner, QStringLiteral("/"), inner, outer}));
}

void TestUiLists::refreshClimbsOutOfARemovedFolder() {
    QTemporaryDir dir;
    const QString top = makeFolder(dir.path(), QStringLiteral("top"));
    const QString deep = makeFolder(top, QStringLiteral("middle/deep"));

    DirList list;
    QVERIFY(list.setPath(deep));
    QSignalSpy pathSpy(&list, &DirList::pathChanged);
    list.refresh();
    QVERIFY(pathSpy.isEmpty());

    QVERIFY(QDir(QDir(top).filePath(QStringLiteral("middle"))).removeRecursively());
    makeFolder(top, QStringLiteral("later"));
    list.refresh();
    QCOMPARE(list.path(), top);
    QCOMPARE(pathSpy.count(), 1);
    QCOMPARE(list.subfolders(), QStringList{QStringLiteral("later")});
}

void TestUiLists::userVolumesAreTold_data() {
    QTest::addColumn<QString>("root");
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QByteArray>("device");
    QTest::addColumn<bool>("shown");

    QTest::newRow("system disk") << "/" << QByteArray("ext4") << QByteArray("/dev/sda2") << true;
    QTest::newRow("data disk") << "/data" << QByteArray("xfs") << QByteArray("/dev/sdb1") << true;
    QTest::newRow("usb stick") << "/media/ann/STICK" << QByteArray("vfat")
                               << QByteArray("/dev/sdc1") << true;
    QTest::newRow("disc") << "/run/media/ann/DISC" << QByteArray("iso9660")
                          << QByteArray("/dev/sr0") << true;
    QTest::newRow("image under /media")
        << "/media/ann/ISO" << QByteArray("iso9660") << QByteArray("/dev/loop7") << true;
    QTest::newRow("nfs share") << "/mnt/nas" << QByteArray("nfs4") << QByteArray("nas:/x") << true;
    QTest::newRow("sshfs at home")
        << "/home/ann/remote" << QByteArray("fuse.sshfs") << QByteArray("ann@host:") << true;
    QTest::newRow("proc") << "/proc" << QByteArray("proc") << QByteArray("proc") << false;
    QTest::newRow("tmpfs under /run")
        << "/run/user/1000" << QByteArray("tmpfs") << QByteArray("tmpfs") << false;
    QTest::newRow("tmpfs under /mnt")
        << "/mnt/scratch" << QByteArray("tmpfs") << QByteArray("tmpfs") << false;
    QTest::newRow("snap") << "/snap/core/123" << QByteArray("squashfs") << QByteArray("/dev/loop3")
                          << false;
    QTest::newRow("loop elsewhere")
        << "/opt/image" << QByteArray("ext4") << QByteArray("/dev/loop4") << false;
    QTest::newRow("boot partition")
        << "/boot/efi" << QByteArray("vfat") << QByteArray("/dev/sda1") << false;
    QTest::newRow("container root")
        << "/" << QByteArray("overlay") << QByteArray("overlay") << false;
    QTest::newRow("bind-mounted file")
        << "/etc/hosts" << QByteArray("ext4") << QByteArray("/dev/vda") << false;
    QTest::newRow("not absolute") << "media" << QByteArray("ext4") << QByteArray("/dev/sdb")
                                  << false;
}

void TestUiLists::userVolumesAreTold() {
    QFETCH(QString, root);
    QFETCH(QByteArray, type);
    QFETCH(QByteArray, device);
    QFETCH(bool, shown);
    QCOMPARE(DriveList::isUserVolume(root, type, device), shown);
}

void TestUiLists::driveIsTheLongestRootHoldingThePath() {
    QTemporaryDir dir;
    const QString stick = makeFolder(dir.path(), QStringLiteral("stick"));
    const QString deeper = makeFolder(stick, QStringLiteral("photos/2003"));
    const QString lookalike = makeFolder(dir.path(), QStringLiteral("stick2"));

    DriveList list;
    list.addDrive(stick, QStringLiteral("STICK"));
    list.addDrive(stick); // already listed
    QVERIFY(list.drives().contains(QStringLiteral("/")));
    QCOMPARE(list.drives().count(stick), 1);
    const int index = list.drives().indexOf(stick);
    QVERIFY(list.itemText(index).contains(QStringLiteral("STICK")));
    QVERIFY(list.itemText(index).contains(stick));

    QSignalSpy changed(&list, &DriveList::driveChanged);
    QVERIFY(list.setDrive(deeper));
    QCOMPARE(list.drive(), stick);
    QCOMPARE(list.currentIndex(), index);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.last().at(0).toString(), stick);

    // The drive already chosen: nothing to tell.
    QVERIFY(list.setDrive(stick));
    QCOMPARE(changed.count(), 1);

    // "stick2" is not inside "stick".
    QVERIFY(list.setDrive(lookalike));
    QVERIFY(list.drive() != stick);
    QVERIFY(lookalike.startsWith(list.drive()));
}

void TestUiLists::driveNotReadyKeepsThePreviousDrive() {
    QTemporaryDir dir;
    const QString stick = makeFolder(dir.path(), QStringLiteral("stick"));
    const QString gone = makeFolder(dir.path(), QStringLiteral("gone"));

    DriveList list;
    list.addDrive(stick);
    list.addDrive(gone, QStringLiteral("CD"));
    QVERIFY(list.setDrive(stick));
    QVERIFY(QDir(gone).removeRecursively());

    QSignalSpy changed(&list, &DriveList::driveChanged);
    QSignalSpy notReady(&list, &DriveList::driveNotReady);
    QVERIFY(!list.setDrive(gone));
    QCOMPARE(list.drive(), stick);
    QCOMPARE(notReady.count(), 1);
    QCOMPARE(notReady.last().at(0).toString(), gone);

    // The user picking it from the list: the list goes back to the drive it had.
    const int goneIndex = list.drives().indexOf(gone);
    list.setCurrentIndex(goneIndex);
    Q_EMIT list.activated(goneIndex);
    QCOMPARE(notReady.count(), 2);
    QCOMPARE(list.currentIndex(), list.drives().indexOf(stick));
    QCOMPARE(list.drive(), stick);
    QVERIFY(changed.isEmpty());

    // Still usable: another drive can be chosen.
    const int rootIndex = list.drives().indexOf(QStringLiteral("/"));
    list.setCurrentIndex(rootIndex);
    Q_EMIT list.activated(rootIndex);
    QCOMPARE(list.drive(), QStringLiteral("/"));
    QCOMPARE(changed.count(), 1);
}

void TestUiLists::linkedListsFollowDriveAndFolder() {
    QTemporaryDir dir;
    const QString first = makeFolder(dir.path(), QStringLiteral("first"));
    const QString start = makeFolder(first, QStringLiteral("start"));
    const QString second = makeFolder(dir.path(), QStringLiteral("second"));
    const QString inner = makeFolder(second, QStringLiteral("inner"));
    touch(start, QStringLiteral("Corvanel.MD1"));
    touch(second, QStringLiteral("CORVANEL.md1"));
    touch(second, QStringLiteral("other.txt"));

    DriveList drives;
    drives.addDrive(first);
    drives.addDrive(second);
    DirList folders;
    QVERIFY(folders.setPath(start));
    FileList files;
    files.setPattern(QStringLiteral("Corvanel.MD1"));

    QSignalSpy driveSpy(&drives, &DriveList::driveChanged);
    quillory::ui::linkLists(&drives, &folders, &files);

    // The lists start where the folder list stands, not at the drive's root.
    QCOMPARE(drives.drive(), first);
    QCOMPARE(folders.path(), start);
    QCOMPARE(files.path(), start);
    QCOMPARE(files.files(), QStringList{QStringLiteral("Corvanel.MD1")});
    QVERIFY(driveSpy.isEmpty());

    QVERIFY(drives.setDrive(second));
    QCOMPARE(folders.path(), second);
    QCOMPARE(files.path(), second);
    QCOMPARE(files.files(), QStringList{QStringLiteral("CORVANEL.md1")});

    QVERIFY(folders.setPath(inner));
    QCOMPARE(files.path(), inner);
    QVERIFY(files.files().isEmpty());
    QCOMPARE(drives.drive(), second);

    // Without a folder list, the file list follows the drive itself.
    FileList alone;
    quillory::ui::linkLists(&drives, nullptr, &alone);
    QCOMPARE(alone.path(), second);
    QVERIFY(drives.setDrive(first));
    QCOMPARE(alone.path(), first);
    quillory::ui::linkLists(nullptr, nullptr, nullptr);
}

QTEST_MAIN(TestUiLists)
#include "test_ui_lists.moc"
