// Merging duplicates as the user does it: the merge window on a started program, the choices
// made in it, the remarks that keep every value not chosen, the trash that keeps the others,
// the import of a card merged away, and a merge killed half-way.

#include "BookFiller.h"
#include "core/ContactRecord.h"
#include "core/frmMain.h"
#include "exchange/Exchange.h"
#include "platform/engine/Database.h"
#include "platform/engine/DataSource.h"
#include "StartedProgram.h"
#include "tidy/Merge.h"
#include "tidy/Trash.h"
#include "tidy/ui/frmMerge.h"
#include "tidy/ui/MergeWindow.h"

#include <QBuffer>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quillory;

namespace {

QByteArray png(int side) {
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QVariantMap person(const QString& uid, QVariantMap fields) {
    fields.insert(QStringLiteral("uid"), uid);
    fields.insert(QStringLiteral("rev"), QStringLiteral("2026-01-01T00:00:00Z"));
    return fields;
}

// Ann Lee three times over, each copy with something of its own; and two strangers.
QList<QVariantMap> duplicates() {
    return {person("urn:uuid:a", {{"name", "Lee"},
                                  {"namef", "Ann"},
                                  {"phone", "555-0100"},
                                  {"city", "Springfield"},
                                  {"remarks", "met at the fair"}}),
            person("urn:uuid:b", {{"name", "Lee"},
                                  {"namef", "Ann"},
                                  {"phone3", "555-0101"},
                                  {"city", "Springfield East"},
                                  {"email", "ann@example.org"},
                                  {"bitmap", png(40)}}),
            person("urn:uuid:c", {{"name", "LEE"},
                                  {"namef", "Ann"},
                                  {"phone3", "555-0102"},
                                  {"phone", "(555) 0100"},
                                  {"city", "Springfield East"},
                                  {"bitmap", png(20)}}),
            person("urn:uuid:z", {{"name", "Zorn"}, {"namef", "Zed"}}),
            person("urn:uuid:y", {{"name", "Abbot"}, {"namef", "Al"}})};
}

QVariantMap row(const QString& book, qint64 id) {
    const auto db = engine::Database::open(book, engine::Database::Mode::ReadOnly);
    engine::Statement read(*db, QStringLiteral("SELECT * FROM PhoneBK WHERE id = ?"));
    read.bind(1, id);
    QVariantMap fields;
    for (int c = 0; c < read.columnCount() && (c > 0 || read.step()); ++c)
        fields.insert(read.columnName(c), read.column(c));
    return fields;
}

QStringList uids(const QString& book) {
    const auto db = engine::Database::open(book, engine::Database::Mode::ReadOnly);
    engine::Statement read(*db, QStringLiteral("SELECT uid FROM PhoneBK ORDER BY uid"));
    QStringList all;
    while (read.step())
        all.append(read.column(0).toString());
    return all;
}

} // namespace

class TestMerge : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void mergeThroughTheWindow_data();
    void mergeThroughTheWindow();
    void importOfMergedAwayCard_data();
    void importOfMergedAwayCard();
    void killDuringMerge_data();
    void killDuringMerge();
};

void TestMerge::mergeThroughTheWindow_data() {
    QTest::addColumn<QVector<qint64>>("ids");
    QTest::addColumn<QStringList>("clicks");  // choices, then the button
    QTest::addColumn<QVariantMap>("kept");    // fields of the merged contact
    QTest::addColumn<QStringList>("remarks"); // lines its remarks hold once ("!": never)
    QTest::addColumn<QByteArray>("photo");
    QTest::addColumn<QStringList>("left"); // UIDs in the book afterwards
    QTest::addColumn<int>("trashed");

    const QStringList all{"urn:uuid:a", "urn:uuid:b", "urn:uuid:c", "urn:uuid:y", "urn:uuid:z"};
    QTest::newRow("two, fuller values as offered, one of them named twice")
        << QVector<qint64>{1, 2, 1} << QStringList{"cmdMerge"}
        << QVariantMap{{"city", "Springfield East"},
                       {"phone", "555-0100"},
                       {"phone3", "555-0101"},
                       {"email", "ann@example.org"}}
        << QStringList{"met at the fair", "this contact had:\nCity: Springfield\nMerged from: Lee, "
                                          "Ann (UID urn:uuid:b)"}
        << png(40) << QStringList{"urn:uuid:a", "urn:uuid:c", "urn:uuid:y", "urn:uuid:z"} << 1;
    QTest::newRow("three, the user's choices, equal values once")
        << QVector<qint64>{1, 2, 3}
        << QStringList{"opt_city_0", "opt_phone3_2", "optPhoto_2", "cmdMerge"}
        << QVariantMap{{"city", "Springfield"},
                       {"phone3", "555-0102"},
                       {"name", "Lee"},
                       {"phone", "(555) 0100"}}
        << QStringList{"Merged from: Lee, Ann (UID urn:uuid:b)\nCity: Springfield East\n"
                       "Phone (other): 555-0101\nPhoto: a PNG picture",
                       "City: Springfield East", "Merged from: LEE, Ann (UID urn:uuid:c)",
                       "!Phone (home)"}
        << png(20) << QStringList{"urn:uuid:a", "urn:uuid:y", "urn:uuid:z"} << 2;
    QTest::newRow("the kept contact's photo replaced")
        << QVector<qint64>{3, 2} << QStringList{"cmdMerge"}
        << QVariantMap{{"name", "LEE"}, {"email", "ann@example.org"}}
        << QStringList{"Phone (other): 555-0101", "with its photo, is in Deleted contacts"}
        << png(40) << QStringList{"urn:uuid:a", "urn:uuid:c", "urn:uuid:y", "urn:uuid:z"} << 2;
    QTest::newRow("cancelled") << QVector<qint64>{1, 2} << QStringList{"opt_city_0", "cmdCancel"}
                               << QVariantMap{{"city", "Springfield"}} << QStringList{}
                               << QByteArray() << all << 0;
    // Another program (a sync) changes a contact while the window is open: nothing is merged.
    QTest::newRow("changed meanwhile")
        << QVector<qint64>{1, 2} << QStringList{"*change", "cmdMerge", "cmdCancel"}
        << QVariantMap{{"city", "Springfield"}} << QStringList{} << QByteArray() << all << 0;
}

void TestMerge::mergeThroughTheWindow() {
    QFETCH(QVector<qint64>, ids);
    QFETCH(QStringList, clicks);
    QFETCH(QVariantMap, kept);
    QFETCH(QStringList, remarks);
    QFETCH(QByteArray, photo);
    QFETCH(QStringList, left);
    QFETCH(int, trashed);
    test::StartedProgram p({.contacts = duplicates()});
    p.main->data().moveLast(); // the stranger on the card
    const QString book = p.folder.file(contact::file::BookName);
    QString shownRemarks;
    test::ModalScript script([&](QDialog& dialog) {
        for (const QString& name : clicks) {
            if (name == "*change") {
                engine::Database::open(book)->exec("UPDATE PhoneBK SET rev = 'now' WHERE id = 2");
                continue;
            }
            auto* button = dialog.findChild<QAbstractButton*>(name);
            QVERIFY2(button && button->isEnabled(), qPrintable(name));
            shownRemarks = dialog.findChild<QPlainTextEdit*>("txtRemarks")->toPlainText();
            button->click();
        }
    });
    const bool merged = runMerge(*p.context, ids, p.main);
    QCOMPARE(merged, clicks.last() == "cmdMerge");
    QCOMPARE(uids(book), left);
    const QVariantMap after = row(book, ids[0]);
    const QVariantMap before = duplicates()[ids[0] - 1];
    for (auto it = kept.begin(); it != kept.end(); ++it)
        QCOMPARE(after.value(it.key()).toString(), it.value().toString());
    for (const QString& line : remarks)
        QVERIFY2(line.startsWith('!') ? !after.value("remarks").toString().contains(line.mid(1))
                                      : after.value("remarks").toString().count(line) == 1,
                 qPrintable(line));
    QCOMPARE(after.value("bitmap").toByteArray(), merged ? photo : QByteArray());
    QCOMPARE(p.boxes.texts().join(' ').contains("nothing was merged"), clicks.contains("*change"));
    if (!merged)
        return;
    QCOMPARE(shownRemarks, after.value("remarks").toString()); // the window said what it wrote
    QCOMPARE(p.main->data().rowId(), ids[0]);                  // the card shows the merged one
    QCOMPARE(p.main->Text1->text(), kept.value("name", "Lee").toString());

    // The others wait in the trash, and come back from it as they were.
    const auto db = engine::Database::open(book);
    const QVector<tidy::TrashEntry> trash = tidy::trashEntries(*db);
    QCOMPARE(trash.size(), trashed);
    for (const tidy::TrashEntry& entry : trash) {
        QCOMPARE(entry.reason, tidy::TrashReason::Merged);
        QCOMPARE(entry.mergedInto, before.value("uid").toString());
    }
    // The kept contact as it was comes back too when its photo was replaced, under a UID of its
    // own.
    const QVector<qint64> back = tidy::restoreBatch(*db, tidy::latestBatch(*db));
    QCOMPARE(uids(book).size(), left.size() + trashed);
    for (const qint64 id : back) {
        const QVariantMap restored = row(book, id);
        QVariantMap original = before;
        for (const QVariantMap& contact : duplicates()) {
            if (contact.value("uid") == restored.value("uid"))
                original = contact;
        }
        for (const char* field : {"phone3", "city", "bitmap", "remarks"})
            QCOMPARE(restored.value(field), original.value(field));
    }
}

void TestMerge::importOfMergedAwayCard_data() {
    QTest::addColumn<int>("policy");
    QTest::addColumn<QString>("phone2"); // the merged contact's work phone afterwards
    QTest::newRow("update") << int(exchange::OnDuplicate::Update) << "555-0199";
    QTest::newRow("skip") << int(exchange::OnDuplicate::Skip) << "";
    QTest::newRow("add") << int(exchange::OnDuplicate::Add) << "555-0199";
}

void TestMerge::importOfMergedAwayCard() {
    QFETCH(int, policy);
    QFETCH(QString, phone2);
    test::TempProgramFolder folder;
    const QString book = folder.file(contact::file::BookName);
    test::writeBook(book, duplicates());
    {
        const auto db = engine::Database::open(book);
        tidy::applyMerge(*db, tidy::planMerge(*db, {1, 2}));
    }
    // Another device still has the card merged away, edited since.
    folder.write("b.vcf", "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:urn:uuid:b\r\nN:Lee;Ann;;;\r\n"
                          "FN:Ann Lee\r\nTEL;TYPE=WORK:555-0199\r\nEND:VCARD\r\n");
    exchange::ImportOptions options;
    options.onDuplicate = exchange::OnDuplicate(policy);
    const exchange::ImportSummary summary =
        exchange::importFile(book, folder.file("b.vcf"), options);
    QCOMPARE(summary.imported, 0);
    QCOMPARE(uids(book), (QStringList{"urn:uuid:a", "urn:uuid:c", "urn:uuid:y", "urn:uuid:z"}));
    QCOMPARE(row(book, 1).value("phone2").toString(), phone2);
}

void TestMerge::killDuringMerge_data() {
    QTest::addColumn<int>("killAt"); // the row change the merge is killed at; 0: not killed
    for (int change : {1, 2, 4, 6})
        QTest::addRow("at change %d", change) << change;
    QTest::newRow("not killed") << 0;
}

void TestMerge::killDuringMerge() {
    QFETCH(int, killAt);
    test::TempProgramFolder folder;
    const QString book = folder.file(contact::file::BookName);
    QList<QVariantMap> contacts = duplicates();
    for (QVariantMap& contact : contacts) // pages large enough to reach the file early
        contact.insert("extra5", QString(3000, u'x'));
    test::writeBook(book, contacts);
    const QVariantMap before[] = {row(book, 1), row(book, 2), row(book, 3)};
    const pid_t child = ::fork();
    if (child == 0) {
        try {
            const auto db = engine::Database::open(book);
            db->exec(QStringLiteral("PRAGMA cache_size = 1"));
            int changes = killAt;
            ::sqlite3_update_hook(
                db->handle(),
                [](void* left, int, const char*, const char*, sqlite3_int64) {
                    if (--*static_cast<int*>(left) == 0)
                        ::kill(::getpid(), SIGKILL);
                },
                &changes);
            tidy::applyMerge(*db, tidy::planMerge(*db, {1, 2, 3}));
        } catch (...) {
            ::_exit(3);
        }
        ::_exit(0);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    QVERIFY2(killed || (WIFEXITED(status) && WEXITSTATUS(status) == 0), "the merge failed");
    QCOMPARE(QFile::exists(book + "-journal"), killed); // killed inside its transaction
    // Either the three contacts as they were, or the merged one and the others in the trash.
    const QStringList left = uids(book);
    if (left.size() == 5) {
        for (int i = 0; i < 3; ++i)
            QCOMPARE(row(book, i + 1), before[i]);
    } else {
        QCOMPARE(left, (QStringList{"urn:uuid:a", "urn:uuid:y", "urn:uuid:z"}));
        QVERIFY(row(book, 1).value("remarks").toString().contains("Merged from: LEE, Ann"));
        const auto db = engine::Database::open(book);
        QCOMPARE(tidy::trashEntries(*db).size(), 2);
    }
    QCOMPARE(left.size() == 5, killed);
}

QTEST_MAIN(TestMerge)
#include "test_merge.moc"
