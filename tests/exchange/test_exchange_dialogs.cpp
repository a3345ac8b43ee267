// Import and export as the user does them: File, "Import contacts..." and "Export contacts...",
// the dialogs driven through their controls on a started program, and the book and the files
// checked afterwards.

#include "core/AppContext.h"
#include "core/frmMain.h"
#include "exchange/ui/frmExport.h"
#include "exchange/ui/frmImport.h"
#include "platform/engine/DataSource.h"
#include "StartedProgram.h"
#include "TestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QCryptographicHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

using namespace quillory;
using test::StartedProgram;

namespace {

QVariantMap contact(const QString& last, const QString& first, const QString& phone,
                    const QString& type = {}, const QString& marked = {}) {
    return {{QStringLiteral("name"), last},     {QStringLiteral("namef"), first},
            {QStringLiteral("phone"), phone},   {QStringLiteral("extra4"), type},
            {QStringLiteral("extra7"), marked}, {QStringLiteral("extra8"), first + ' ' + last}};
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return path;
}

// "Last, First, home phone, remarks" of every contact in the book, in name order.
QStringList bookContacts(frmMain& main) {
    engine::DataSource& data = main.data();
    QStringList rows;
    for (int row = 0; row < data.rowCount(); ++row)
        rows << QStringList{data.valueAt(row, "name").toString(),
                            data.valueAt(row, "namef").toString(),
                            data.valueAt(row, "phone").toString(),
                            data.valueAt(row, "remarks").toString()}
                    .join(u'|');
    return rows;
}

QByteArray fileHash(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

const QByteArray csvSample = "First Name;Last Name;Home Phone;Notes;Nickname\r\n"
                             "Jane;Doe;555-0100;\"likes tea; and \"\"jazz\"\"\";JJ\r\n"
                             "Ann;Adams;555-0111;;\r\n";

} // namespace

class TestExchangeDialogs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void importFromTheMenu_data();
    void importFromTheMenu();
    void importGivesTheChosenType_data();
    void importGivesTheChosenType();
    void unreadableFileCannotBeImported();
    void cancelLeavesTheBookAsItWas();
    void exportFromTheMenu_data();
    void exportFromTheMenu();
    void exportAsksBeforeReplacing();
    void exportRefusesTheBook();
};

void TestExchangeDialogs::importFromTheMenu_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("option");       // duplicates
    QTest::addColumn<QStringList>("leaveOut"); // CSV columns the user sets to "Leave out"
    QTest::addColumn<QString>("format");       // the start of what the dialog says of the file
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QStringList>("book");

    const QByteArray cards = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe;Jane;;;\r\nTEL;TYPE=HOME:555-0100"
                             "\r\nNOTE:from the\\, phone\r\nEND:VCARD\r\nBEGIN:VCARD\r\nVERSION:2.1"
                             "\r\nN:Zed;Zoe\r\nTEL;HOME:555-0222\r\nEND:VCARD\r\n";
    QTest::newRow("vCard, new contacts")
        << cards << "phone.vcf"
        << "optSkip" << QStringList{} << "vCard, UTF-8, 2 contacts"
        << "Imported 2, updated 0, skipped 0 (duplicates), unreadable 0."
        << QStringList{"Adams|Ann|555-0111|", "Doe|Jane|555-0100|from the, phone",
                       "Zed|Zoe|555-0222|"};
    QTest::newRow("vCard, the book's contact skipped")
        << cards << "phone.vcf"
        << "optSkip" << QStringList{} << "vCard"
        << "Imported 1, updated 0, skipped 1 (duplicates), unreadable 0."
        << QStringList{"Adams|Ann|555-0111|", "Doe|Jane|555-0100|already here",
                       "Zed|Zoe|555-0222|"};
    QTest::newRow("vCard, the book's contact updated")
        << cards << "phone.vcf"
        << "optUpdate" << QStringList{} << "vCard"
        << "Imported 1, updated 1, skipped 0 (duplicates), unreadable 0."
        << QStringList{"Adams|Ann|555-0111|", "Doe|Jane|555-0100|already here\nfrom the, phone",
                       "Zed|Zoe|555-0222|"};
    QTest::newRow("vCard, imported anyway")
        << cards << "phone.vcf"
        << "optAdd" << QStringList{} << "vCard"
        << "Imported 2, updated 0, skipped 0 (duplicates), unreadable 0."
        << QStringList{"Adams|Ann|555-0111|", "Doe|Jane|555-0100|already here",
                       "Doe|Jane|555-0100|from the, phone", "Zed|Zoe|555-0222|"};
    QTest::newRow("semicolon CSV, a column left out by the user")
        << csvSample << "export.csv"
        << "optAdd" << QStringList{"Notes"} << "CSV (Other layout, semicolon separated)"
        << "Imported 2, updated 0, skipped 0 (duplicates), unreadable 0."
        << QStringList{"Adams|Ann|555-0111|", "Adams|Ann|555-0111|",
                       "Doe|Jane|555-0100|already here", "Doe|Jane|555-0100|Nickname: JJ"};
}

void TestExchangeDialogs::importFromTheMenu() {
    QFETCH(QByteArray, file);
    QFETCH(QString, fileName);
    QFETCH(QString, option);
    QFETCH(QStringList, leaveOut);
    QFETCH(QString, format);
    QFETCH(QString, summary);
    QFETCH(QStringList, book);
    QTemporaryDir dir;
    const QString path = writeFile(dir, fileName, file);
    const bool newBook = QString(QTest::currentDataTag()) == QLatin1String("vCard, new contacts");
    QList<QVariantMap> contacts = {contact("Adams", "Ann", "555-0111")};
    if (!newBook) {
        QVariantMap doe = contact("Doe", "Jane", "555-0100");
        doe.insert(QStringLiteral("remarks"), QStringLiteral("already here"));
        contacts << doe;
    }
    StartedProgram p({.contacts = contacts});
    QString said;
    QStringList shownFirst;
    test::ModalScript script([&](QDialog& dialog) {
        auto* import = qobject_cast<frmImport*>(&dialog);
        QVERIFY(import);
        import->openFile(path);
        said = import->lblFormat->text();
        for (int row = 0; row < import->grdMapping->rowCount(); ++row)
            shownFirst << import->grdMapping->item(row, 2)->text();
        for (int row = 0; row < import->grdMapping->rowCount(); ++row)
            if (leaveOut.contains(import->grdMapping->item(row, 0)->text()))
                qobject_cast<QComboBox*>(import->grdMapping->cellWidget(row, 1))
                    ->setCurrentText(QStringLiteral("Leave out"));
        import->findChild<QRadioButton*>(option)->click();
        QSignalSpy ended(import, &frmImport::importEnded);
        import->cmdImport->click();
        QVERIFY(ended.wait(10000));
        import->cmdClose->click();
    });

    p.main->mnuImport->trigger();

    QCOMPARE(script.shown(), 1);
    QVERIFY2(said.startsWith(format), qPrintable(said));
    // A CSV file's columns are shown with the first record's own values.
    const QStringList csvFirst = {"Jane", "Doe", "555-0100", "likes tea; and \"jazz\"", "JJ"};
    QCOMPARE(shownFirst, fileName.endsWith(QLatin1String(".csv")) ? csvFirst : QStringList());
    QCOMPARE(p.boxes.texts(), QStringList{summary});
    QCOMPARE(bookContacts(*p.main), book);
}

// Contacts whose file gives no type get the one chosen in the dialog; the card's own stays.
void TestExchangeDialogs::importGivesTheChosenType_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("types"); // of Acme (a company), Home, Own (typed), Work, by name
    QTest::newRow("automatic") << "optTypeAuto"
                               << "B P P B";
    QTest::newRow("all personal") << "optTypePersonal"
                                  << "P P P P";
    QTest::newRow("all business") << "optTypeBusiness"
                                  << "B B P B";
}

void TestExchangeDialogs::importGivesTheChosenType() {
    QFETCH(QString, option);
    QFETCH(QString, types);
    QTemporaryDir dir;
    const QByteArray card = "END:VCARD\r\nBEGIN:VCARD\r\nVERSION:3.0\r\nN:";
    const QString path =
        writeFile(dir, "types.vcf",
                  "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Acme\r\nORG:Acme Inc.\r\n" + card +
                      "Home\r\nTEL;TYPE=HOME:1\r\nTEL;TYPE=WORK:2\r\n" + card +
                      "Own\r\nORG:Own Ltd.\r\nCATEGORIES:Personal\r\n" + card +
                      "Work\r\nTEL;TYPE=WORK:1\r\nTEL;TYPE=WORK,FAX:2\r\nEND:VCARD\r\n");
    StartedProgram p({.contacts = QList<QVariantMap>{}});
    QStringList previewed;
    test::ModalScript script([&](QDialog& dialog) {
        auto* import = qobject_cast<frmImport*>(&dialog);
        QVERIFY(import);
        import->openFile(path);
        import->findChild<QRadioButton*>(option)->click();
        for (int row = 0; row < import->grdPreview->rowCount(); ++row)
            previewed << import->grdPreview->item(row, 6)->text().left(1);
        QSignalSpy ended(import, &frmImport::importEnded);
        import->cmdImport->click();
        QVERIFY(ended.wait(10000));
        import->cmdClose->click();
    });
    p.main->mnuImport->trigger();
    QCOMPARE(script.shown(), 1);
    // The preview shows the types before the import, in the file's order.
    QCOMPARE(previewed.join(u' '), types);
    QStringList shown;
    for (int row = 0; row < p.main->data().rowCount(); ++row)
        shown << p.main->data().valueAt(row, "extra4").toString().left(1);
    QCOMPARE(shown.join(u' '), types);
}

void TestExchangeDialogs::unreadableFileCannotBeImported() {
    QTemporaryDir dir;
    const QString junk = writeFile(dir, "junk.vcf", QByteArray("\x89PNG\r\n\x1a\n\0\0\0", 11));
    const QString empty = writeFile(dir, "empty.csv", {});
    const QString readme = writeFile(dir, "README", "Quillory\r\n\r\nAn address book.\r\n");
    // Cards after a line of text: no CSV of contacts, until the user says they are vCards.
    const QString cards = writeFile(
        dir, "cards.txt", "Cards of my phone\r\nBEGIN:VCARD\r\nN:Doe;Jim\r\nEND:VCARD\r\n");
    StartedProgram p({.contacts = QList<QVariantMap>{contact("Adams", "Ann", "555-0111")}});
    test::ModalScript script([&](QDialog& dialog) {
        auto* import = qobject_cast<frmImport*>(&dialog);
        for (const QString& path : {junk, empty, dir.filePath("missing.vcf"), readme, cards}) {
            import->openFile(path);
            QVERIFY2(!import->cmdImport->isEnabled(), qPrintable(path));
            QVERIFY2(!import->lblFormat->text().isEmpty(), qPrintable(path));
        }
        import->cboFormat->setCurrentText(QStringLiteral("vCard"));
        QVERIFY(import->cmdImport->isEnabled());
        QVERIFY2(import->lblFormat->text().startsWith(QStringLiteral("vCard, UTF-8, 1 contact")),
                 qPrintable(import->lblFormat->text()));
        import->cmdClose->click();
    });
    const QByteArray before = fileHash(p.main->data().databaseName());

    p.main->mnuImport->trigger();

    QCOMPARE(script.shown(), 1);
    QVERIFY(p.boxes.asked().isEmpty());
    QCOMPARE(fileHash(p.main->data().databaseName()), before);
}

void TestExchangeDialogs::cancelLeavesTheBookAsItWas() {
    QTemporaryDir dir;
    QByteArray many;
    for (int i = 0; i < 20000; ++i)
        many += "BEGIN:VCARD\r\nVERSION:4.0\r\nN:Name" + QByteArray::number(i) +
                ";Given;;;\r\nTEL:555-" + QByteArray::number(i) + "\r\nEND:VCARD\r\n";
    const QString path = writeFile(dir, "many.vcf", many);
    StartedProgram p({.contacts = QList<QVariantMap>{contact("Adams", "Ann", "555-0111")}});
    const QString bookPath = p.main->data().databaseName();
    const QByteArray before = fileHash(bookPath);
    bool cancelled = false;
    test::ModalScript script([&](QDialog& dialog) {
        auto* import = qobject_cast<frmImport*>(&dialog);
        import->openFile(path);
        QSignalSpy ended(import, &frmImport::importEnded);
        import->cmdImport->click();
        QCOMPARE(import->cmdClose->text(), QStringLiteral("Cancel"));
        import->cmdClose->click();
        QVERIFY(ended.wait(20000));
        cancelled = import->lastSummary().cancelled;
        QVERIFY(import->lblStatus->text().startsWith(QStringLiteral("Cancelled")));
        import->cmdClose->click();
    });

    p.main->mnuImport->trigger();

    QVERIFY(cancelled);
    QCOMPARE(fileHash(bookPath), before);
    QCOMPARE(bookContacts(*p.main), QStringList{"Adams|Ann|555-0111|"});
}

void TestExchangeDialogs::exportFromTheMenu_data() {
    QTest::addColumn<QString>("view"); // menu item that opens a view first; empty: none
    QTest::addColumn<QString>("scope");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QStringList>("names"); // last names in the file, in its order
    QTest::newRow("whole book, vCard 4.0") << ""
                                           << "optWhole"
                                           << "optVCard4"
                                           << "vcf" << QStringList{"Adams", "Baker", "Cole"};
    QTest::newRow("business view, vCard 3.0") << "mnuBus"
                                              << "optView"
                                              << "optVCard3"
                                              << "vcf" << QStringList{"Baker"};
    QTest::newRow("whole book, vCard 2.1") << ""
                                           << "optWhole"
                                           << "optVCard21"
                                           << "vcf" << QStringList{"Adams", "Baker", "Cole"};
    QTest::newRow("marked for printing, CSV") << ""
                                              << "optMarked"
                                              << "optCsv"
                                              << "csv" << QStringList{"Adams", "Cole"};
}

void TestExchangeDialogs::exportFromTheMenu() {
    QFETCH(QString, view);
    QFETCH(QString, scope);
    QFETCH(QString, format);
    QFETCH(QString, suffix);
    QFETCH(QStringList, names);
    QTemporaryDir dir;
    StartedProgram p(
        {.contacts = QList<QVariantMap>{contact("Cole", "Cy", "555-3", "Personal Contact", "Y"),
                                        contact("Adams", "Ann", "555-1", "Personal Contact", "Y"),
                                        contact("Baker", "Bo", "555-2", "Business Contact")}});
    if (!view.isEmpty())
        p.main->findChild<QAction*>(view)->trigger();
    // Typing on the card is exported with the rest.
    p.main->Text7->setText(QStringLiteral("555-typed"));
    QString written;
    test::ModalScript script([&](QDialog& dialog) {
        auto* exporter = qobject_cast<frmExport*>(&dialog);
        QVERIFY(exporter);
        exporter->setFile(dir.filePath("out.vcf"));
        exporter->findChild<QRadioButton*>(scope)->click();
        exporter->findChild<QRadioButton*>(format)->click();
        written = QDir::fromNativeSeparators(exporter->txtFile->text());
        QSignalSpy ended(exporter, &frmExport::exportEnded);
        exporter->cmdExport->click();
        QVERIFY(ended.wait(10000));
        exporter->cmdClose->click();
    });

    p.main->mnuExport->trigger();

    QCOMPARE(written, dir.filePath("out." + suffix));
    QFile file(written);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(p.boxes.texts().join(u'\n')));
    const QString text = QString::fromUtf8(file.readAll());
    QStringList found;
    for (const char* name : {"Adams", "Baker", "Cole"})
        if (text.contains(name))
            found << name;
    QCOMPARE(found, names);
    if (suffix == QLatin1String("vcf")) {
        QCOMPARE(text.count(QStringLiteral("BEGIN:VCARD")), names.size());
        const QHash<QString, QString> versions{
            {"optVCard4", "4.0"}, {"optVCard3", "3.0"}, {"optVCard21", "2.1"}};
        QVERIFY(text.contains("VERSION:" + versions.value(format) + "\r\n"));
    }
    QVERIFY(text.contains(QStringLiteral("555-typed")));
    QCOMPARE(p.boxes.texts(), QStringList{QStringLiteral("Exported %1 contact%2 to \"%3\".")
                                              .arg(names.size())
                                              .arg(names.size() == 1 ? "" : "s",
                                                   QDir::toNativeSeparators(written))});
}

void TestExchangeDialogs::exportAsksBeforeReplacing() {
    QTemporaryDir dir;
    const QString path = writeFile(dir, "keep.vcf", "mine");
    StartedProgram p({.contacts = QList<QVariantMap>{contact("Adams", "Ann", "555-1")}});
    p.boxes.answer(ui::Answer::No);
    test::ModalScript script([&](QDialog& dialog) {
        auto* exporter = qobject_cast<frmExport*>(&dialog);
        exporter->setFile(path);
        exporter->cmdExport->click();
        QVERIFY(!exporter->isExporting());
        exporter->cmdClose->click();
    });

    p.main->mnuExport->trigger();

    QCOMPARE(p.boxes.texts(), QStringList{QStringLiteral("\"%1\" exists already. Replace it?")
                                              .arg(QDir::toNativeSeparators(path))});
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("mine"));
}

// The book is not offered for replacing: the export is refused with the file's name, and the
// book stays as it was.
void TestExchangeDialogs::exportRefusesTheBook() {
    StartedProgram p({.contacts = QList<QVariantMap>{contact("Adams", "Ann", "555-1")}});
    const QString book = p.main->data().databaseName();
    const QByteArray before = fileHash(book);
    test::ModalScript script([&](QDialog& dialog) {
        auto* exporter = qobject_cast<frmExport*>(&dialog);
        exporter->setFile(book);
        exporter->cmdExport->click();
        QVERIFY(!exporter->isExporting());
        exporter->cmdClose->click();
    });
    p.main->mnuExport->trigger();
    QCOMPARE(p.boxes.texts(), QStringList{QStringLiteral("\"%1\" is Quillory's own file \"%2\" and "
                                                         "cannot be written over; choose another "
                                                         "file.")
                                              .arg(book, QFileInfo(book).fileName())});
    QCOMPARE(fileHash(book), before);
}

QTEST_MAIN(TestExchangeDialogs)
#include "test_exchange_dialogs.moc"
