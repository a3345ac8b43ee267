// Finding duplicates as the user does: `--find-duplicates` on books with true duplicates (phones
// typed with other punctuation and a country prefix, e-mail in other case, names in another
// order or with accents) and namesakes who are strangers, and Utilities, "Find duplicates..." in
// the started program, which lists the groups and ticks only the real duplicates.

#include "BookFiller.h"
#include "core/frmMain.h"
#include "StartedProgram.h"
#include "TestSupport.h"
#include "tidy/ui/frmDuplicates.h"
#include "tidy/ui/frmMerge.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

// A book written in short: one contact per entry, "last;first;field=value;...".
QList<QVariantMap> contactsOf(const QStringList& entries) {
    QList<QVariantMap> contacts;
    for (const QString& entry : entries) {
        const QStringList parts = entry.split(u';');
        QVariantMap contact{{QStringLiteral("name"), parts.value(0)},
                            {QStringLiteral("namef"), parts.value(1)}};
        for (const QString& field : parts.mid(2))
            contact.insert(field.section(u'=', 0, 0), field.section(u'=', 1));
        contacts.append(contact);
    }
    return contacts;
}

struct Finding {
    int exitCode = -1;
    QStringList lines;
    QString errors;
};

Finding runFinder(const QString& home) {
    QProcess program;
    program.start(QStringLiteral(QUILLORY_PROGRAM),
                  {QStringLiteral("--home"), home, QStringLiteral("--find-duplicates")});
    program.waitForFinished(60000);
    return {program.exitCode(),
            QString::fromUtf8(program.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts),
            QString::fromUtf8(program.readAllStandardError())};
}

// The printed groups as "reason: id id ...", in the order printed.
QStringList groupsOf(const QStringList& lines) {
    QStringList groups;
    QString current;
    for (const QString& line : lines) {
        const QStringList fields = line.split(u'\t');
        if (fields.value(0) != current) {
            current = fields.value(0);
            groups.append(fields.value(3) + u':');
        }
        groups.last() += u' ' + fields.value(1);
    }
    return groups;
}

} // namespace

class TestDuplicates : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void commandLineGroups_data();
    void commandLineGroups();
    void commandLineLinesAndFailure();
    void windowTicksRealDuplicates();
};

void TestDuplicates::commandLineGroups_data() {
    QTest::addColumn<QStringList>("book");
    QTest::addColumn<QStringList>("groups");
    const QString phone = QStringLiteral(";phone=(212) 555-0101");
    QTest::newRow("phone with country prefix and other punctuation")
        << QStringList{u"Smith;John"_s + phone, u"SMITH;john;phone2=+1 212.555.0101"_s}
        << QStringList{u"same name and phone: 1 2"_s};
    QTest::newRow("phone without its trunk 0 and with a country prefix")
        << QStringList{u"Baker;Ann;fax=020 7946 0958"_s, u"Baker;Ann;phone3=+44 20 7946 0958"_s}
        << QStringList{u"same name and phone: 1 2"_s};
    QTest::newRow("name in the other order, with a comma, in capitals, with accents")
        << QStringList{u"Smith;John"_s + phone, u"Smith, John;"_s + phone, u"John;Smith"_s + phone,
                       u"JÖHN SMITH;"_s + phone}
        << QStringList{u"same name and phone: 1 2 3 4"_s};
    QTest::newRow("another area code is another number")
        << QStringList{u"Smith;John"_s + phone, u"Smith;John;phone=(312) 555-0101"_s}
        << QStringList{u"same name only: 1 2"_s};
    QTest::newRow("short numbers tell nobody apart")
        << QStringList{u"Smith;John;phone=112"_s, u"Smith;John;phone=1-12"_s}
        << QStringList{u"same name only: 1 2"_s};
    QTest::newRow("e-mail in other case, names unlike")
        << QStringList{u"Lee;Ann;email=ann@example.org"_s,
                       u"Lee-Park;Annie;email= ANN@Example.ORG"_s, u"Lee;Ann"_s}
        << QStringList{u"same e-mail: 1 2"_s};
    QTest::newRow("initial at the same address, street and zip written otherwise")
        << QStringList{u"Smith;J.;address1=12 Main Street;zip=10001"_s,
                       u"smith;John;address1=12 main st.;zip=10001;city=New York"_s,
                       u"Smith;Jane;address1=12 Main St;city=NEW YORK"_s}
        << QStringList{u"similar name and same address: 1 2"_s};
    QTest::newRow("two people at one address")
        << QStringList{u"Smith;Jane;address1=12 Main St;zip=10001"_s,
                       u"Smith;John;address1=12 Main St;zip=10001"_s}
        << QStringList{};
    QTest::newRow("namesakes with nothing in common, listed last")
        << QStringList{u"Brown;Tom;phone=555-0199;email=tom@example.com"_s,
                       u"Brown;Tom;phone=555-0188;address1=1 Elm Rd;zip=1"_s,
                       u"Lee;Ann;email=ann@example.org"_s, u"Lee;Ann;email=ANN@example.org"_s}
        << QStringList{u"same e-mail: 3 4"_s, u"same name only: 1 2"_s};
    QTest::newRow("a real duplicate is not listed again among the namesakes")
        << QStringList{u"Brown;Tom"_s + phone, u"Brown;Tom"_s, u"Brown;Tom"_s + phone,
                       u"Brown;Tom;phone=555-0111"_s}
        << QStringList{u"same name and phone: 1 3"_s, u"same name only: 2 4"_s};
}

void TestDuplicates::commandLineGroups() {
    QFETCH(QStringList, book);
    QFETCH(QStringList, groups);
    test::TempProgramFolder home;
    test::writeBook(home.file(QStringLiteral("Corvanel.MDB")), contactsOf(book));
    const Finding found = runFinder(home.path());
    QCOMPARE(found.exitCode, 0);
    QCOMPARE(groupsOf(found.lines), groups);
}

void TestDuplicates::commandLineLinesAndFailure() {
    test::TempProgramFolder home;
    const Finding missing = runFinder(home.path());
    QCOMPARE(missing.exitCode, 1);
    QVERIFY(missing.lines.isEmpty());
    QCOMPARE(missing.errors.count(u"quillory: "_s), 1);
    QVERIFY(!home.exists(QStringLiteral("Corvanel.MDB")));

    // One line per contact; a name's own tab cannot split its line.
    test::writeBook(home.file(QStringLiteral("Corvanel.MDB")),
                    contactsOf({u"Lee;Ann"_s, u"Smith;Jo\thn;email=j@x.org"_s,
                                u"Smith;Jo hn;email=J@X.org"_s}));
    const Finding found = runFinder(home.path());
    QCOMPARE(found.exitCode, 0);
    QCOMPARE(found.lines, (QStringList{u"1\t2\tSmith, Jo hn\tsame e-mail"_s,
                                       u"1\t3\tSmith, Jo hn\tsame e-mail"_s}));
}

void TestDuplicates::windowTicksRealDuplicates() {
    test::ProgramSetup setup;
    setup.contacts = contactsOf({u"Brown;Tom;phone=555-0199"_s, u"Lee;Ann;email=ann@x.org"_s,
                                 u"Brown;Tom;phone=555-0188"_s, u"Lee;Ann;email=Ann@X.org"_s});
    test::StartedProgram program(setup);
    program.boxes.clear();
    QStringList shown;
    QList<QList<bool>> ticks;
    QStringList groupsAfterMerge;
    const auto groupsShown = [](frmDuplicates& window) {
        QSignalSpy ended(&window, &frmDuplicates::searchEnded);
        if (window.isSearching())
            [&] { QVERIFY(ended.wait(10000)); }();
        QStringList texts;
        const QAbstractItemModel* groups = window.tvwGroups->model();
        for (int g = 0; g < groups->rowCount(); ++g)
            texts << groups->index(g, 0).data().toString();
        return texts;
    };
    test::ModalScript script([&](QDialog& dialog) {
        shown << dialog.objectName();
        auto* window = qobject_cast<frmDuplicates*>(&dialog);
        if (auto* merge = qobject_cast<frmMerge*>(&dialog))
            merge->cmdMerge->click();
        if (!window)
            return;
        QCOMPARE(groupsShown(*window),
                 (QStringList{u"same e-mail (2 contacts)"_s, u"same name only (2 contacts)"_s}));
        const QAbstractItemModel* groups = window->tvwGroups->model();
        for (int g = 0; g < groups->rowCount(); ++g) {
            const QModelIndex group = groups->index(g, 0);
            QList<bool> ticked;
            for (int c = 0; c < groups->rowCount(group); ++c)
                ticked << (groups->index(c, 0, group).data(Qt::CheckStateRole) == Qt::Checked);
            ticks << ticked;
        }
        // Merge... on the namesakes, never ticked, only says how to choose; on the real
        // duplicates it merges them, and the book is searched again.
        for (const int g : {1, 0}) {
            window->tvwGroups->setCurrentIndex(groups->index(g, 0));
            window->cmdMerge->click();
        }
        groupsAfterMerge = groupsShown(*window);
        window->cmdClose->click();
    });
    program.main->findChild<QAction*>(QStringLiteral("mnuDuplicates"))->trigger();
    QCOMPARE(ticks, (QList<QList<bool>>{{true, true}, {false, false}}));
    QCOMPARE(program.boxes.asked().size(), 1);
    QCOMPARE(shown, (QStringList{u"frmDuplicates"_s, u"frmMerge"_s}));
    QCOMPARE(groupsAfterMerge, QStringList{u"same name only (2 contacts)"_s});
    QCOMPARE(test::bookNames(program.folder.file(QStringLiteral("Corvanel.MDB"))),
             (QStringList{u"Brown,Tom"_s, u"Lee,Ann"_s, u"Brown,Tom"_s}));
}

QTEST_MAIN(TestDuplicates)
#include "test_duplicates.moc"
