// Contacts brought into the book from vCard and CSV files and written out again, through the
// library the import dialog and the command line use.

#include "BookFiller.h"
#include "exchange/Exchange.h"
#include "HostileText.h"
#include "platform/engine/Database.h"
#include "platform/files/PlatformError.h"
#include "TestSupport.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QStringDecoder>
#include <QtTest>
#include <random>

using namespace quillory;
using namespace quillory::exchange;

namespace {

QByteArray pngPhoto(int width, int height, QColor color) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    QPainter(&image).drawEllipse(2, 2, width - 4, height - 4);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray jpegPhoto(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    return bytes;
}

// Every contact of the book, each field that has a value, sorted by name; the photo as
// "bitmap". The row id is left out: an imported contact gets a new one.
QList<QVariantMap> bookContacts(const QString& path) {
    auto db = engine::Database::open(path, engine::Database::Mode::ReadOnly);
    engine::Statement query(*db, QStringLiteral("SELECT * FROM PhoneBK ORDER BY name, namef, id"));
    QList<QVariantMap> contacts;
    while (query.step()) {
        QVariantMap contact;
        for (int c = 0; c < query.columnCount(); ++c) {
            const QVariant value = query.column(c);
            // The time of the write is the import's own, not the contact's.
            if (query.columnName(c) != QLatin1String("id") &&
                query.columnName(c) != QLatin1String("rev") && value.isValid() &&
                !value.toString().isEmpty())
                contact.insert(query.columnName(c), value);
        }
        contacts.append(contact);
    }
    return contacts;
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Contacts that use every field, with the characters files get wrong.
QList<QVariantMap> sampleContacts() {
    QVariantMap full{
        {"name", "O'Brien"},
        {"namef", "Ann Marie"},
        {"address1", "12 Oak St, Unit 4; rear"},
        {"address2", "PO Box 77"},
        {"city", "Springfield"},
        {"state", "IL"},
        {"zip", "62701"},
        {"phone", "(217) 555-0100"},
        {"phone2", "(217) 555-0101"},
        {"pager", "(217) 555-0102"},
        {"phone3", "(217) 555-0103"},
        {"fax", "(217) 555-0104"},
        {"fax2", "(217) 555-0105"},
        {"Birthday", "04/12/85"},
        {"email", "ann.obrien@example.org"},
        {"extra6", "http://www.example.org/~ann"},
        {"remarks", "Says \"hi\", always; back\\slash.\nSecond line, and more."},
        {"extra4", "Business Contact"},
        {"extra8", "Ann Marie O'Brien"},
        {"bitmap", pngPhoto(40, 50, Qt::yellow)},
    };
    // Long text of two- to four-byte characters, so folding meets every UTF-8 length.
    QVariantMap wide{
        {"name", "Müller-Lüdenscheidt"},
        {"namef", "Jürgen"},
        {"city", "Köln"},
        {"phone3", "+49 221 555 0199"},
        {"Birthday", "02/29/00"},
        {"remarks", QString::fromUtf8("Grüße aus Köln € ☎ 😀 ").repeated(12)},
        {"extra4", "Personal Contact"},
        {"extra8", "Jürgen Müller-Lüdenscheidt"},
        {"bitmap", pngPhoto(64, 48, Qt::blue)},
    };
    QVariantMap lastOnly{{"name", "Zed"},
                         {"fax2", "555-0199"},
                         {"remarks", "Call first\nthen write"},
                         {"extra8", " Zed"}};
    return {full, wide, lastOnly};
}

void checkUtf8Lines(const QByteArray& text) {
    const QList<QByteArray> lines = text.split('\n');
    QVERIFY(text.endsWith("\r\n"));
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        QVERIFY2(line.endsWith('\r'),
                 qPrintable(QStringLiteral("line %1 ends in LF alone").arg(i + 1)));
        QVERIFY2(
            line.size() - 1 <= 75,
            qPrintable(QStringLiteral("line %1 has %2 octets").arg(i + 1).arg(line.size() - 1)));
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = decoder(line);
        QVERIFY2(!decoder.hasError(),
                 qPrintable(QStringLiteral("line %1 splits a character").arg(i + 1)));
    }
}

} // namespace

class TestExchange : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void roundTrip_data();
    void roundTrip();
    void hostileVCardRoundTrip_data();
    void hostileVCardRoundTrip();
    void samples_data();
    void samples();
    void changedMapping();
    void brokenInput_data();
    void brokenInput();
    void manyProblemsCounted();
    void mutatedInput_data();
    void mutatedInput();
    void duplicates_data();
    void duplicates();
    void identity_data();
    void identity();
    void exportedIdentity_data();
    void exportedIdentity();
    void cancelLeavesBook_data();
    void cancelLeavesBook();
    void bookBeingWritten();
    void progressReachesTotal_data();
    void progressReachesTotal();
    void exportCancelled_data();
    void exportCancelled();
    void exportScopes_data();
    void exportScopes();
};

// --- round trips ---------------------------------------------------------------------------

void TestExchange::roundTrip_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QList<QVariantMap>>("contacts");
    QTest::newRow("vCard 4.0") << int(Format::VCard) << int(VCardVersion::V4) << "out.vcf"
                               << sampleContacts();
    QTest::newRow("vCard 3.0") << int(Format::VCard) << int(VCardVersion::V3) << "out.vcf"
                               << sampleContacts();
    QTest::newRow("vCard 2.1") << int(Format::VCard) << int(VCardVersion::V21) << "out.vcf"
                               << sampleContacts();
    QTest::newRow("CSV") << int(Format::Csv) << int(VCardVersion::V4) << "out.csv"
                         << sampleContacts();
    // Whatever a field holds comes back: the text in every field the book has.
    for (const auto& [name, text] : test::hostileTexts()) {
        QVariantMap contact;
        for (const QString& field : engine::book::fieldNames())
            contact.insert(field, text);
        contact.remove(QStringLiteral("bitmap"));
        contact.insert(QStringLiteral("extra8"), text + u' ' + text);
        QTest::addRow("CSV, %s", qPrintable(name))
            << int(Format::Csv) << int(VCardVersion::V4) << "out.csv" << QList{contact};
    }
}

void TestExchange::roundTrip() {
    QFETCH(int, format);
    QFETCH(int, version);
    QFETCH(QString, fileName);
    QFETCH(QList<QVariantMap>, contacts);
    test::TempProgramFolder folder;
    const QString source = folder.file(QStringLiteral("source.mdb"));
    const QString target = folder.file(QStringLiteral("target.mdb"));
    const QString file = folder.file(fileName);
    test::writeBook(source, contacts);
    test::writeBook(target, {});

    ExportOptions out;
    out.format = Format(format);
    out.version = VCardVersion(version);
    QCOMPARE(exportBook(source, file, out).exported, contacts.size());
    const QByteArray text = fileBytes(file);
    if (Format(format) == Format::VCard)
        checkUtf8Lines(text);
    else
        QVERIFY(text.startsWith("\xEF\xBB\xBF") && text.contains("\r\n"));
    // A spreadsheet shows every value of the file as text, none as a formula.
    for (const QString& value :
         Format(format) == Format::Csv ? preview(file).firstValues : QStringList())
        QVERIFY2(value.isEmpty() || !QStringLiteral("=+-@\t\r").contains(value.front()),
                 qPrintable(value.left(40)));

    const ImportSummary summary = importFile(target, file);
    QCOMPARE(summary.imported, contacts.size());
    QVERIFY2(summary.unreadable.isEmpty(), qPrintable(summary.text()));
    QList<QVariantMap> expected = bookContacts(source);
    const QList<QVariantMap> actual = bookContacts(target);
    QCOMPARE(actual.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        // A contact without a type gets one; Zed has only a work fax.
        expected[i].insert(QStringLiteral("extra4"),
                           expected[i].value(QStringLiteral("extra4"), "Business Contact"));
        QCOMPARE(actual[i], expected[i]);
    }
}

void TestExchange::hostileVCardRoundTrip_data() {
    QTest::addColumn<int>("version");
    QTest::newRow("vCard 4.0") << int(VCardVersion::V4);
    QTest::newRow("vCard 3.0") << int(VCardVersion::V3);
    QTest::newRow("vCard 2.1") << int(VCardVersion::V21);
}

// Every field a card writes holds each hostile text once (and, now and then, nothing, so that
// Address2 stands alone); a book exported and imported again holds the same contacts. vCard has
// one line break, so CRLF and CR come back as LF.
void TestExchange::hostileVCardRoundTrip() {
    QFETCH(int, version);
    const QStringList fields = {"name",   "namef",  "address1", "address2", "city",   "state",
                                "zip",    "phone",  "phone2",   "pager",    "phone3", "fax",
                                "fax2",   "email",  "extra6",   "remarks",  "extra4", "extra1",
                                "extra2", "extra3", "extra5",   "extra7"};
    const QList<test::HostileText> texts = test::hostileTexts();
    QList<QVariantMap> contacts, expected;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        QVariantMap contact;
        for (qsizetype f = 0; f < fields.size(); ++f) {
            // Every contact has a type: the import gives an untyped one a type of its own.
            if ((i + f) % 7 != 0 || fields[f] == "extra4")
                contact.insert(fields[f], texts[(i + f) % texts.size()].text);
        }
        contact.insert("extra8",
                       contact.value("namef").toString() + " " + contact.value("name").toString());
        contacts.append(contact);
        for (QVariant& value : contact)
            value = value.toString().replace("\r\n", "\n").replace('\r', '\n');
        expected.append(contact);
    }
    test::TempProgramFolder folder;
    const QString source = folder.file(QStringLiteral("source.mdb"));
    const QString target = folder.file(QStringLiteral("target.mdb"));
    const QString file = folder.file(QStringLiteral("out.vcf"));
    test::writeBook(source, contacts);
    test::writeBook(target, {});
    ExportOptions out;
    out.version = VCardVersion(version);
    QCOMPARE(exportBook(source, file, out).exported, texts.size());
    ImportOptions in;
    in.onDuplicate = OnDuplicate::Add;
    const ImportSummary summary = importFile(target, file, in);
    QVERIFY2(summary.unreadable.isEmpty(), qPrintable(summary.text()));

    QList<QVariantMap> actual = bookContacts(target);
    const auto byValues = [&fields](const QVariantMap& a, const QVariantMap& b) {
        const auto key = [&fields](const QVariantMap& c) {
            QStringList values;
            for (const QString& field : fields)
                values.append(c.value(field).toString());
            return values.join(QChar(0x1F));
        };
        return key(a) < key(b);
    };
    std::sort(expected.begin(), expected.end(), byValues);
    std::sort(actual.begin(), actual.end(), byValues);
    QCOMPARE(actual.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        for (const QString& field : fields + QStringList{"extra8"})
            QCOMPARE(field + ": " + actual[i].value(field).toString(),
                     field + ": " + expected[i].value(field).toString());
    }
}

// --- hand-written files --------------------------------------------------------------------

void TestExchange::samples_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("record");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");

    const QByteArray v3 = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe;Jane;;;\r\n";
    const QByteArray end = "END:VCARD\r\n";
    QTest::newRow("folded line") << v3 + "NOTE:one tw\r\n o three\r\n\t four\r\n" + end << 0
                                 << "remarks"
                                 << "one two three four";
    QTest::newRow("folded in a character")
        << v3 + "NOTE:M\xC3\r\n \xBCller\r\n" + end << 0 << "remarks"
        << "Müller";
    QTest::newRow("escapes") << v3 + "NOTE:a\\, b\\; c\\nd\\\\e\r\n" + end << 0 << "remarks"
                             << "a, b; c\nd\\e";
    QTest::newRow("quoted-printable soft break")
        << QByteArray("BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:"
                      "M=C3=BC=\r\nller;J=C3=BCrgen\r\nEND:VCARD\r\n")
        << 0 << "name"
        << "Müller";
    QTest::newRow("2.1 ISO-8859-1 quoted-printable")
        << QByteArray(
               "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=ISO-8859-1;QUOTED-PRINTABLE:"
               "Fran=E7ois;Ren=E9e\r\nNOTE;ENCODING=QUOTED-PRINTABLE:Zeile=0D=0A=\r\nzwei\r\n"
               "END:VCARD\r\n")
        << 0 << "namef"
        << "Renée";
    QTest::newRow("soft break before a blank")
        << QByteArray("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;Jim\r\nNOTE;QUOTED-PRINTABLE:two=\r\n "
                      "words\r\nEND:VCARD\r\n")
        << 0 << "remarks"
        << "two words";
    QTest::newRow("2.1 ISO-8859-1 bytes")
        << QByteArray("BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=ISO-8859-1:Stra\xDF"
                      "e;Bj\xF6rn\r\n"
                      "END:VCARD\r\n")
        << 0 << "extra8"
        << "Björn Straße";
    QTest::newRow("2.1 bare phone types")
        << QByteArray("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;Jim\r\nTEL;WORK;FAX:111\r\n"
                      "TEL;CELL:222\r\nTEL;HOME;VOICE:333\r\nEND:VCARD\r\n")
        << 0 << "fax2"
        << "111";
    QTest::newRow("phone as a tel: URI")
        << QByteArray("BEGIN:VCARD\r\nVERSION:4.0\r\nFN:A B\r\nTEL;VALUE=uri;TYPE=cell:tel:+1-555-"
                      "0100\r\nEND:VCARD\r\n")
        << 0 << "phone3"
        << "+1-555-0100";
    QTest::newRow("phone typed with tel: in front")
        << v3 + "TEL;TYPE=HOME:tel:555\r\n" + end << 0 << "phone"
        << "tel:555";
    const QByteArray labelled = "item1.TEL:555\r\nitem1.X-ABLabel:Assistant\r\nitem2.TEL;type=pref:"
                                "777\r\nitem2.X-ABLabel:_$!<WorkFAX>!$_\r\n";
    QTest::newRow("labelled phone without a field") << v3 + labelled + end << 0 << "remarks"
                                                    << "Phone (Assistant): 555";
    QTest::newRow("labelled phone not the home phone") << v3 + labelled + end << 0 << "phone"
                                                       << "";
    QTest::newRow("labelled work fax") << v3 + labelled + end << 0 << "fax2"
                                       << "777";
    QTest::newRow("photo link") << v3 + "PHOTO;VALUE=uri:https://example.org/p.jpg\r\n" + end << 0
                                << "remarks"
                                << "Photo: https://example.org/p.jpg";
    QTest::newRow("cell phone is the other phone")
        << v3 + "TEL;TYPE=CELL:222\r\n" + end << 0 << "phone3"
        << "222";
    QTest::newRow("third home phone kept in remarks")
        << v3 + "TEL;TYPE=HOME:1\r\nTEL;TYPE=HOME:2\r\nTEL;TYPE=HOME:3\r\n" + end << 0 << "remarks"
        << "Phone (home): 3";
    QTest::newRow("second e-mail and organisation in remarks")
        << v3 + "EMAIL:a@x.org\r\nEMAIL:b@x.org\r\nORG:Acme;Sales\r\nTITLE:Boss\r\n" + end << 0
        << "remarks"
        << "E-mail 2: b@x.org\nOrganization: Acme, Sales\nTitle: Boss";
    QTest::newRow("address") << v3 + "ADR;TYPE=home:;Apt 2;1 Elm St;Salem;OR;97301;USA\r\n" + end
                             << 0 << "address2"
                             << "Apt 2";
    QTest::newRow("birthday compact") << v3 + "BDAY:19850412\r\n" + end << 0 << "Birthday"
                                      << "04/12/85";
    QTest::newRow("birthday with time")
        << v3 + "BDAY:1999-12-31T10:00:00Z\r\n" + end << 0 << "Birthday"
        << "12/31/99";
    QTest::newRow("birthday without year")
        << QByteArray("BEGIN:VCARD\r\nVERSION:4.0\r\nFN:X Y\r\nBDAY:--0412\r\nEND:VCARD\r\n") << 0
        << "Birthday"
        << "04/12";
    // The century a file gives is kept beside the card's MM/DD/YY; none is made up.
    QTest::newRow("century kept") << v3 + "BDAY:1906-05-05\r\n" + end << 0 << "birthdate"
                                  << "1906-05-05";
    QTest::newRow("no century, none kept") << v3 + "BDAY:4/12/85\r\n" + end << 0 << "birthdate"
                                           << "";
    QTest::newRow("the card's text beside a yearless day")
        << v3 + "BDAY:--04-12\r\nX-QUILLORY-BIRTHDAY:04/12/85\r\n" + end << 0 << "Birthday"
        << "04/12/85";
    QTest::newRow("UID kept as it is") << v3 + "UID:ab;c\\,1\r\n" + end << 0 << "uid"
                                       << "ab;c,1";
    QTest::newRow("CSV UID") << QByteArray("First Name,UID\r\nAnn,x-1\r\n") << 0 << "uid"
                             << "x-1";
    QTest::newRow("name from FN") << QByteArray("BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Ann Lee "
                                                "Park\r\nEND:VCARD\r\n")
                                  << 0 << "namef"
                                  << "Ann Lee";
    QTest::newRow("category") << v3 + "CATEGORIES:Friends,Personal\r\n" + end << 0 << "extra4"
                              << "Personal Contact";
    QTest::newRow("3.0 photo") << v3 +
                                      "PHOTO;ENCODING=b;TYPE=JPEG:" + jpegPhoto(30, 20).toBase64() +
                                      "\r\n" + end
                               << 0 << "photo"
                               << "30x20";
    QTest::newRow("4.0 data: photo folded")
        << QByteArray("BEGIN:VCARD\r\nVERSION:4.0\r\nFN:A B\r\nPHOTO:data:image/png;base64,") +
               pngPhoto(12, 34, Qt::red).toBase64().insert(40, "\r\n ") + "\r\nEND:VCARD\r\n"
        << 0 << "photo"
        << "12x34";
    QTest::newRow("second card") << v3 + end + QByteArray(v3).replace("Jane", "John") + end << 1
                                 << "namef"
                                 << "John";

    QTest::newRow("CSV with BOM")
        << QByteArray("\xEF\xBB\xBFLast Name,First Name,E-mail Address\r\nLee,Ann,a@x\r\n") << 0
        << "name"
        << "Lee";
    QTest::newRow("CSV semicolons")
        << QByteArray("Last Name;First Name;Home Phone\r\nLee;Ann;555\r\n") << 0 << "phone"
        << "555";
    QTest::newRow("CSV with lone CR line ends")
        << QByteArray("Last Name,First Name\rLee,Ann\rKim,Bo\r") << 1 << "extra8"
        << "Bo Kim";
    QTest::newRow("CSV tabs") << QByteArray("Last Name\tFirst Name\tHome City\nLee\tAnn\tRome\n")
                              << 0 << "city"
                              << "Rome";
    QTest::newRow("CSV quoted line breaks")
        << QByteArray("Last Name,Notes\r\nLee,\"one, \"\"two\"\"\r\nthree\"\r\nKim,x\r\n") << 0
        << "remarks"
        << "one, \"two\"\r\nthree";
    QTest::newRow("CSV record after a quoted line break")
        << QByteArray("Last Name,Notes\r\nLee,\"one\r\nthree\"\r\nKim,x\r\n") << 1 << "name"
        << "Kim";
    QTest::newRow("CSV Windows-1252")
        << QByteArray("Last Name,First Name,Notes\r\nM\xFCller,J\xFCrgen,5 \x80\r\n") << 0
        << "remarks"
        << "5 €";
    QTest::newRow("webmail phone by type")
        << QByteArray("Name,Given Name,Family Name,Phone 1 - Type,Phone 1 - Value,Phone 2 - "
                      "Type,Phone 2 - Value,E-mail 1 - Value,E-mail 2 - Value\r\n"
                      "Ann Lee,Ann,Lee,Mobile,111,Work,222,a@x.org,b@x.org\r\n")
        << 0 << "phone2"
        << "222";
    QTest::newRow("webmail second e-mail")
        << QByteArray("Given Name,Family Name,E-mail 1 - Value,E-mail 2 - Value\r\n"
                      "Ann,Lee,a@x.org,b@x.org\r\n")
        << 0 << "remarks"
        << "E-mail 2: b@x.org";
    QTest::newRow("desktop mail layout")
        << QByteArray("First Name,Last Name,Home Street,Home City,Business Phone,Mobile Phone,"
                      "Pager,Business Fax,Birthday,Company\r\n"
                      "Ann,Lee,1 Elm,Salem,222,333,444,555,4/12/1985,Acme\r\n")
        << 0 << "remarks"
        << "Organization: Acme";
    QTest::newRow("desktop mail birthday")
        << QByteArray("First Name,Last Name,Birthday\r\nAnn,Lee,4/12/1985\r\n") << 0 << "Birthday"
        << "04/12/85";
    QTest::newRow("birthday in three columns")
        << QByteArray("First Name,Last Name,Display Name,Primary Email,Birth Year,Birth Month,"
                      "Birth Day\r\nAnn,Lee,Ann Lee,a@x,1970,7,4\r\n")
        << 0 << "Birthday"
        << "07/04/70";
    QTest::newRow("own layout") << (QByteArray("\xEF\xBB\xBF") +
                                    ownCsvHeader().join(QLatin1Char(',')).toUtf8() +
                                    "\r\nLee,Ann,,,,,,,,,,,,,,,hello,Business Contact,\r\n")
                                << 0 << "extra4"
                                << "Business Contact";
    QTest::newRow("UTF-16 tab-separated") <<
        [] {
            const char16_t text[] = u"First Name\tLast Name\r\nZoë\tÅberg\r\n";
            return QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char*>(text),
                                                       qsizetype(sizeof(text) - sizeof(char16_t)));
        }() << 0 << "extra8"
                                          << "Zoë Åberg";
    QTest::newRow("UTF-16 big-endian vCard") <<
        [] {
            QByteArray bytes("\xFE\xFF");
            for (const QChar c :
                 QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Ñuñez;Ana\r\nEND:VCARD\r\n")) {
                bytes.append(char(c.unicode() >> 8));
                bytes.append(char(c.unicode() & 0xFF));
            }
            return bytes;
        }() << 0 << "name"
                                             << "Ñuñez";
    QTest::newRow("2.1 photo on indented lines")
        << QByteArray(
               "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;Jim\r\nPHOTO;ENCODING=BASE64;JPEG:\r\n") +
               [] {
                   QByteArray lines;
                   const QByteArray data = jpegPhoto(16, 8).toBase64();
                   for (qsizetype i = 0; i < data.size(); i += 60)
                       lines += "    " + data.mid(i, 60) + "\r\n";
                   return lines;
               }() +
               "\r\nEND:VCARD\r\n"
        << 0 << "photo"
        << "16x8";
    QTest::newRow("quotes inside unquoted fields, each row one contact")
        << QByteArray("Last Name,Notes\r\nLee,3.5\" floppy\r\nKim,a\r\nRoe,5\" disk\r\nPak,b\r\n")
        << 3 << "name"
        << "Pak";
    const QByteArray google = "Given Name,Phone 1 - Type,Phone 1 - Value,Phone 2 - Type,Phone 2 - "
                              "Value,Photo,Event 1 - Type,Event 1 - Value\r\nAnn,Work Fax,555-1,* "
                              "Home Fax,555-2,https://example.com/a.jpg,Anniversary,2001-05-05\r\n";
    QTest::newRow("webmail home fax, after a work fax") << google << 0 << "fax"
                                                        << "555-2";
    QTest::newRow("webmail photo link and event kept with their labels")
        << google << 0 << "remarks"
        << "Photo: https://example.com/a.jpg\nEvent 1 - Value (Anniversary): 2001-05-05";
    QTest::newRow("another program's apostrophe stays")
        << QByteArray("Last Name,Notes\r\nLee,'=quoted\r\n") << 0 << "remarks"
        << "'=quoted";
    QStringList olderOwn = ownCsvHeader();
    olderOwn.removeIf([](const QString& column) { return !column.endsWith(u':'); });
    QTest::newRow("older own layout: apostrophes and separators are the contact's")
        << olderOwn.join(u',').toUtf8() + "\r\n'Til ::: then,Ann\r\n"
        << 0 << "name"
        << "'Til ::: then";
    QTest::newRow("unknown column kept in remarks")
        << QByteArray("Last Name,Shoe Size\r\nLee,9\r\n") << 0 << "remarks"
        << "Shoe Size: 9";
}

void TestExchange::samples() {
    QFETCH(QByteArray, input);
    QFETCH(int, record);
    QFETCH(QString, field);
    QFETCH(QString, expected);
    ReadResult result;
    try {
        result = readBytes(input);
    } catch (const PlatformError& error) {
        QFAIL(qPrintable(error.description()));
    }
    QVERIFY2(result.problems.isEmpty(), qPrintable(result.problems.value(0).reason));
    QVERIFY(record < result.records.size());
    const Contact& contact = result.records[record].contact;
    if (field == QLatin1String("photo")) {
        const QImage image = QImage::fromData(contact.photo);
        QCOMPARE(QStringLiteral("%1x%2").arg(image.width()).arg(image.height()), expected);
    } else {
        QCOMPARE(contact.value(field), expected);
    }
}

// The import dialog shows the detected mapping and may send back a changed one.
void TestExchange::changedMapping() {
    const QByteArray csv = "Given Name,Family Name,Notes,Phone 1 - Type,Phone 1 - Value\r\n"
                           "Ann,Lee,secret,Home,555\r\n";
    const QString path = QDir(QDir::tempPath()).filePath(QStringLiteral("mapping-test.csv"));
    writeFile(path, csv);
    const Preview seen = preview(path);
    QCOMPARE(seen.layout, QStringLiteral("Google"));
    QCOMPARE(seen.records, 1);
    QCOMPARE(seen.mapping.size(), 5);
    QCOMPARE(seen.mapping[2].target.field, QStringLiteral("remarks"));
    QCOMPARE(seen.mapping[3].target.kind, ColumnTarget::Kind::Ignore);
    QCOMPARE(seen.mapping[4].target.field, QStringLiteral("telephone"));
    QCOMPARE(seen.first.value(0).contact.value(QStringLiteral("remarks")),
             QStringLiteral("secret"));

    // Every target the detection gives is one the dialog can offer.
    QStringList offered;
    for (const FieldChoice& choice : fieldChoices())
        offered.append(choice.field);
    const QStringList everyLayout = ownCsvHeader() + QStringList{"Name",
                                                                 "Given Name",
                                                                 "Family Name",
                                                                 "Phone 3 - Value",
                                                                 "E-mail 1 - Value",
                                                                 "Website 1 - Value",
                                                                 "Group Membership",
                                                                 "Labels",
                                                                 "Address 1 - Street",
                                                                 "Address 1 - PO Box",
                                                                 "First Name",
                                                                 "Last Name",
                                                                 "Home Street 2",
                                                                 "Business Fax",
                                                                 "Mobile Phone",
                                                                 "E-mail Address",
                                                                 "Categories",
                                                                 "Display Name",
                                                                 "Primary Email",
                                                                 "Birth Year",
                                                                 "Birth Month",
                                                                 "Birth Day",
                                                                 "Web Page 1",
                                                                 "Fax Number"};
    for (const ColumnMapping& column : detectMapping(everyLayout)) {
        if (column.target.kind == ColumnTarget::Kind::Field)
            QVERIFY2(offered.contains(column.target.field), qPrintable(column.target.field));
    }

    ReadOptions options;
    options.mapping = seen.mapping;
    (*options.mapping)[2].target = {ColumnTarget::Kind::Ignore, {}};
    (*options.mapping)[4].target = {ColumnTarget::Kind::Field, QStringLiteral("fax2")};
    // A target the book has no field for keeps the value in remarks.
    (*options.mapping)[0].target = {ColumnTarget::Kind::Field, QStringLiteral("nickname")};
    const ReadResult changed = readFile(path, options);
    QFile::remove(path);
    QCOMPARE(changed.records.size(), 1);
    QCOMPARE(changed.records[0].contact.value(QStringLiteral("remarks")),
             QStringLiteral("Given Name: Ann"));
    QCOMPARE(changed.records[0].contact.value(QStringLiteral("namef")), QString());
    QCOMPARE(changed.records[0].contact.value(QStringLiteral("fax2")), QStringLiteral("555"));
    QCOMPARE(changed.records[0].contact.value(QStringLiteral("phone")), QString());
}

// --- broken input --------------------------------------------------------------------------

void TestExchange::brokenInput_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("longLine");    // MB of one line of text added after it, 0 for none
    QTest::addColumn<QByteArray>("tail"); // written after the long line
    QTest::addColumn<bool>("fatal");      // the whole file is refused
    QTest::addColumn<int>("line");        // the line reported
    QTest::addColumn<QString>("reason");
    QTest::newRow("card without END")
        << QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe;Jane\r\nBEGIN:VCARD\r\nN:Roe;Rick\r\n")
        << 0 << QByteArray() << false << 1 << "no END:VCARD";
    QTest::newRow("unterminated quote")
        << QByteArray("Last Name,Notes\r\nLee,\"never closed\r\nmore\r\n") << 0 << QByteArray()
        << false << 2 << "not closed";
    QTest::newRow("binary junk") << QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\x01\0", 20) << 0
                                 << QByteArray() << true << 0 << "neither vCards nor CSV";
    QTest::newRow("empty file") << QByteArray() << 0 << QByteArray() << true << 0 << "is empty";
    QTest::newRow("only blank lines")
        << QByteArray("\r\n \r\n") << 0 << QByteArray() << true << 0 << "is empty";
    QTest::newRow("50 MB vCard line")
        << QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe;Jane\r\nNOTE:") << 50
        << QByteArray("\r\nEND:VCARD\r\n") << false << 1 << "a line is longer than";
    QTest::newRow("50 MB CSV line") << QByteArray("Last Name,Notes\r\nLee,") << 50
                                    << QByteArray("\r\n") << false << 2 << "longer than";
    QTest::newRow("header of 5000 columns")
        << QByteArray("Last Name") + QByteArray(5000, ',') + "\r\nLee\r\n"
        << 0 << QByteArray() << true << 1 << "more than 4096 columns";
    QTest::newRow("record of a million fields")
        << QByteArray("Last Name,First Name\r\nLee,") + QByteArray(1000000, ',') + "\r\n"
        << 0 << QByteArray() << false << 2 << "more than 4096 fields";
    QTest::newRow("card of a million properties") << [] {
        QByteArray card("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe;Jane\r\n");
        for (int i = 0; i < 1000000; ++i)
            card += "X-A:" + QByteArray::number(i) + " and some more words\r\n";
        return card + "END:VCARD\r\n";
    }() << 0 << QByteArray() << false << 1 << "the card is longer than 16 MB";
    QTest::newRow("text that is no list of contacts")
        << QByteArray("Quillory\r\n\r\nAn address book, built with cmake.\r\nSee docs.\r\n") << 0
        << QByteArray() << true << 0 << "is no CSV file of contacts";
    QTest::newRow("50 MB line alone")
        << QByteArray() << 50 << QByteArray() << true << 1 << "line 1";
}

void TestExchange::brokenInput() {
    QFETCH(QByteArray, input);
    QFETCH(int, longLine);
    QFETCH(QByteArray, tail);
    QFETCH(bool, fatal);
    QFETCH(int, line);
    QFETCH(QString, reason);
    test::TempProgramFolder folder;
    const QString book = folder.file(QStringLiteral("book.mdb"));
    test::writeBook(book, {test::contactNamed(QStringLiteral("Kept"), QStringLiteral("Kim"))});
    const QByteArray before = fileBytes(book);
    const QString path = folder.file(QStringLiteral("input.txt"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(input);
        const QByteArray chunk(1024 * 1024, 'x');
        for (int i = 0; i < longLine; ++i)
            file.write(chunk);
        file.write(tail);
    }
    if (fatal) {
        try {
            importFile(book, path);
            QFAIL("the file was taken");
        } catch (const PlatformError& error) {
            QVERIFY2(error.description().contains(reason), qPrintable(error.description()));
            if (line > 0)
                QVERIFY2(error.description().contains(QStringLiteral("line %1").arg(line)),
                         qPrintable(error.description()));
        }
    } else {
        const ImportSummary summary = importFile(book, path);
        QCOMPARE(summary.imported, 0);
        QVERIFY2(!summary.unreadable.isEmpty(), qPrintable(summary.text()));
        QCOMPARE(summary.unreadable.first().line, qint64(line));
        QVERIFY2(summary.unreadable.first().reason.contains(reason),
                 qPrintable(summary.unreadable.first().reason));
        // One line number, the record's: the reason names none of its own.
        QVERIFY2(!summary.text().contains(QRegularExpression(QStringLiteral(": .*line \\d"))),
                 qPrintable(summary.text()));
    }
    QVERIFY(fileBytes(book) == before);
}

// Past the first 1000 problems only their number is kept, and the summary says so.
void TestExchange::manyProblemsCounted() {
    QByteArray cards;
    for (int i = 0; i < 1500; ++i)
        cards += "BEGIN:VCARD\r\nVERSION:3.0\r\nEND:VCARD\r\n";
    cards += "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Last;Card\r\nEND:VCARD\r\n";
    test::TempProgramFolder folder;
    const QString book = folder.file(QStringLiteral("book.mdb"));
    test::writeBook(book, {});
    const QString path = folder.file(QStringLiteral("in.vcf"));
    writeFile(path, cards);
    const ImportSummary summary = importFile(book, path);
    QCOMPARE(summary.imported, 1);
    QCOMPARE(summary.unreadableCount, 1500);
    QCOMPARE(summary.unreadable.size(), 1000);
    QCOMPARE(summary.unreadable.last().line, 3 * 999 + 1);
    QVERIFY(summary.text().startsWith(
        QStringLiteral("Imported 1, updated 0, skipped 0 (duplicates), unreadable 1500.\n")));
    QVERIFY(summary.text().endsWith(QStringLiteral("\n... and 500 more.")));
}

// Damaged copies of good files: every one is read or refused, never a crash or a hang, and
// every problem names a line the file has.
void TestExchange::mutatedInput_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<unsigned>("seed");
    QTest::newRow("vCard 2.1")
        << QByteArray("BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=ISO-8859-1;ENCODING=QUOTED-"
                      "PRINTABLE:M=FC=\r\n"
                      "ller;Hans\r\nTEL;HOME;VOICE:555\r\nADR;HOME:;;1 Elm;Rome;NY;13440;USA\r\n"
                      "PHOTO;ENCODING=BASE64;JPEG:\r\n    /9j/4AAQSkZJRgABAQ\r\n\r\nEND:VCARD\r\n")
        << 1u;
    QTest::newRow("vCard 4.0") << writeVCards({[] {
                                                  Contact contact;
                                                  contact.fields = {{"name", "Lee"},
                                                                    {"namef", "Ann"},
                                                                    {"remarks", "a,b;c\nd"},
                                                                    {"Birthday", "04/12/85"},
                                                                    {"phone3", "1"}};
                                                  contact.photo = pngPhoto(8, 8, Qt::red);
                                                  return contact;
                                              }()},
                                              VCardVersion::V4)
                               << 2u;
    QTest::newRow("CSV") << QByteArray(
                                "Given Name;Family Name;Phone 1 - Type;Phone 1 - Value;Notes\r\n"
                                "Ann;Lee;Mobile;1;\"x;\"\"y\"\"\r\nz\"\r\nBo;Kim;Home;2;\r\n")
                         << 3u;
}

void TestExchange::mutatedInput() {
    QFETCH(QByteArray, input);
    QFETCH(unsigned, seed);
    std::mt19937 random(seed);
    const auto below = [&random](qsizetype n) {
        return qsizetype(
            std::uniform_int_distribution<qsizetype>(0, std::max<qsizetype>(n - 1, 0))(random));
    };
    const QByteArray special("\"\r\n;:,=\\ \t\0\xC3\x80\xFF\xEF\xBB\xBF", 18);
    int refused = 0;
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes = input;
        const int changes = 1 + int(below(4));
        for (int c = 0; c < changes && !bytes.isEmpty(); ++c) {
            const qsizetype at = below(bytes.size());
            switch (below(4)) {
            case 0:
                bytes[at] = special[below(special.size())];
                break;
            case 1:
                bytes.remove(at, below(12) + 1);
                break;
            case 2:
                bytes.insert(at, bytes.mid(below(bytes.size()), below(20) + 1));
                break;
            default:
                bytes.truncate(at);
            }
        }
        const qint64 lines = bytes.count('\n') + bytes.count('\r') + 1;
        try {
            const ReadResult result = readBytes(bytes);
            for (const Problem& problem : result.problems)
                QVERIFY2(problem.line >= 1 && problem.line <= lines,
                         qPrintable(QStringLiteral("line %1 of %2: %3")
                                        .arg(problem.line)
                                        .arg(lines)
                                        .arg(problem.reason)));
            for (const ReadRecord& record : result.records)
                QVERIFY(record.line >= 1 && record.line <= lines);
        } catch (const PlatformError& error) {
            QVERIFY(!error.description().isEmpty());
            ++refused;
        }
    }
    QVERIFY(refused < 3000);
}

// --- duplicates ----------------------------------------------------------------------------

void TestExchange::duplicates_data() {
    QTest::addColumn<int>("policy");
    QTest::addColumn<QByteArray>("card"); // the properties of the imported card after N
    QTest::addColumn<int>("contacts");    // in the book afterwards
    QTest::addColumn<int>("imported");
    QTest::addColumn<int>("updated");
    QTest::addColumn<int>("skipped");
    QTest::addColumn<QString>("city"); // of the first Smith, Ann afterwards
    const QByteArray samePhone = "TEL;TYPE=HOME:555 0100\r\nADR:;;;Shelbyville;;;\r\n";
    const QByteArray sameMail = "EMAIL:ANN@example.org\r\nADR:;;;Shelbyville;;;\r\n";
    const QByteArray neither = "TEL:555-0999\r\nADR:;;;Shelbyville;;;\r\n";
    const int skip = int(OnDuplicate::Skip), add = int(OnDuplicate::Add),
              update = int(OnDuplicate::Update);
    QTest::newRow("skip, same phone") << skip << samePhone << 1 << 0 << 0 << 1 << "Springfield";
    QTest::newRow("skip, same e-mail") << skip << sameMail << 1 << 0 << 0 << 1 << "Springfield";
    QTest::newRow("add, same phone") << add << samePhone << 2 << 1 << 0 << 0 << "Springfield";
    QTest::newRow("update, same phone") << update << samePhone << 1 << 0 << 1 << 0 << "Shelbyville";
    QTest::newRow("update, same e-mail") << update << sameMail << 1 << 0 << 1 << 0 << "Shelbyville";
    QTest::newRow("skip, no phone or e-mail shared")
        << skip << neither << 2 << 1 << 0 << 0 << "Springfield";
}

void TestExchange::duplicates() {
    QFETCH(int, policy);
    QFETCH(QByteArray, card);
    QFETCH(int, contacts);
    QFETCH(int, imported);
    QFETCH(int, updated);
    QFETCH(int, skipped);
    QFETCH(QString, city);
    test::TempProgramFolder folder;
    const QString book = folder.file(QStringLiteral("book.mdb"));
    QVariantMap ann = test::contactNamed(QStringLiteral("Smith"), QStringLiteral("Ann"));
    ann.insert(QStringLiteral("email"), QStringLiteral("ann@example.org"));
    ann.insert(QStringLiteral("remarks"), QStringLiteral("Met in 1999."));
    ann.insert(QStringLiteral("extra8"), QStringLiteral("Ann Smith"));
    test::writeBook(book, {ann});
    const QString path = folder.file(QStringLiteral("in.vcf"));
    writeFile(path, "BEGIN:VCARD\r\nVERSION:3.0\r\nN:smith;ann;;;\r\n" + card +
                        "NOTE:New note\r\n"
                        "END:VCARD\r\n");
    ImportOptions options;
    options.onDuplicate = OnDuplicate(policy);
    const ImportSummary summary = importFile(book, path, options);
    QCOMPARE(summary.imported, imported);
    QCOMPARE(summary.updated, updated);
    QCOMPARE(summary.skipped, skipped);
    const QList<QVariantMap> rows = bookContacts(book);
    QCOMPARE(rows.size(), contacts);
    QCOMPARE(rows.first().value(QStringLiteral("city")).toString(), city);
    // The file writes the names in lower case; the book's spelling stays.
    QCOMPARE(rows.first().value(QStringLiteral("name")).toString(), QStringLiteral("Smith"));
    QCOMPARE(rows.first().value(QStringLiteral("extra8")).toString(), QStringLiteral("Ann Smith"));
    // An update keeps the book's remarks and adds the file's.
    if (updated > 0)
        QCOMPARE(rows.first().value(QStringLiteral("remarks")).toString(),
                 QStringLiteral("Met in 1999.\nNew note"));
}

// A card's UID names a contact of the book whatever its name; a file's cards are never
// duplicates of each other, and no UID is given twice.
void TestExchange::identity_data() {
    QTest::addColumn<int>("policy");
    QTest::addColumn<QByteArray>("cards");
    QTest::addColumn<QList<int>>("counts"); // contacts afterwards, imported, updated, skipped
    QTest::addColumn<QString>("city");      // of the book's Smith, Ann (UID ...-1) afterwards
    const QByteArray renamed = "BEGIN:VCARD\r\nVERSION:4.0\r\nN:Jones;Pat;;;\r\nUID:urn:uuid:"
                               "0-1\r\nADR:;;;Shelbyville;;;\r\nEND:VCARD\r\n";
    const QByteArray twin = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe;Jo;;;\r\nTEL:555-0200\r\n"
                            "UID:x-2\r\nEND:VCARD\r\n";
    QTest::newRow("UID under another name, skipped")
        << int(OnDuplicate::Skip) << renamed << QList<int>{1, 0, 0, 1} << "Springfield";
    QTest::newRow("UID under another name, updated")
        << int(OnDuplicate::Update) << renamed << QList<int>{1, 0, 1, 0} << "Shelbyville";
    QTest::newRow("UID under another name, never added")
        << int(OnDuplicate::Add) << renamed << QList<int>{1, 0, 1, 0} << "Shelbyville";
    QTest::newRow("the same card twice in one file")
        << int(OnDuplicate::Skip) << twin + twin << QList<int>{3, 2, 0, 0} << "Springfield";
}

void TestExchange::identity() {
    QFETCH(int, policy);
    QFETCH(QByteArray, cards);
    QFETCH(QList<int>, counts);
    QFETCH(QString, city);
    test::TempProgramFolder folder;
    const QString book = folder.file(QStringLiteral("book.mdb"));
    QVariantMap ann = test::contactNamed(QStringLiteral("Smith"), QStringLiteral("Ann"));
    ann.insert(QStringLiteral("uid"), QStringLiteral("urn:uuid:0-1"));
    test::writeBook(book, {ann});
    const QString path = folder.file(QStringLiteral("in.vcf"));
    writeFile(path, cards);
    ImportOptions options;
    options.onDuplicate = OnDuplicate(policy);
    const ImportSummary summary = importFile(book, path, options);
    QCOMPARE((QList<qint64>{summary.imported, summary.updated, summary.skipped}),
             (QList<qint64>{counts[1], counts[2], counts[3]}));
    auto db = engine::Database::open(book, engine::Database::Mode::ReadOnly);
    QCOMPARE(db->scalar(QStringLiteral("SELECT count(DISTINCT uid) || ',' || count(*) || ',' || "
                                       "count(rev) FROM PhoneBK"))
                 .toString(),
             QStringLiteral("%1,%1,%2").arg(counts[0]).arg(counts[1] + counts[2]));
    QCOMPARE(db->scalar(QStringLiteral("SELECT name || ',' || city FROM PhoneBK WHERE uid = "
                                       "'urn:uuid:0-1'"))
                 .toString(),
             QStringLiteral("Smith,") + city);
}

// An export gives every contact a lasting UID and writes a birthday's century only when the
// book knows it: the card's MM/DD/YY goes out without a year, never with a guessed century.
void TestExchange::exportedIdentity_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("version");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");
    const QStringList guessed = {"1985", "2085", "2006", "1906-05-06"};
    QTest::newRow("vCard 4.0") << int(Format::VCard) << int(VCardVersion::V4)
                               << QStringList{"BDAY:1906-05-05\r\n", "BDAY:--0412\r\n",
                                              "BDAY:--0506\r\n", "REV:20240301T101500Z\r\n"}
                               << guessed;
    QTest::newRow("vCard 3.0") << int(Format::VCard) << int(VCardVersion::V3)
                               << QStringList{"BDAY:1906-05-05\r\n", "BDAY:--04-12\r\n",
                                              "BDAY:--05-06\r\n", "REV:20240301T101500Z\r\n"}
                               << guessed;
    QTest::newRow("CSV") << int(Format::Csv) << int(VCardVersion::V4)
                         << QStringList{",1906-05-05,", ",04/12/85,", ",05/06/06,"}
                         << QStringList{"1985", "2085", "2006", "1906-05-06", "2024"};
}

void TestExchange::exportedIdentity() {
    QFETCH(int, format);
    QFETCH(int, version);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    test::TempProgramFolder folder;
    const QString book = folder.file(QStringLiteral("book.mdb"));
    const QVariantMap known{{"name", "Old"},
                            {"Birthday", "05/05/06"},
                            {"birthdate", "1906-05-05"},
                            {"rev", "2024-03-01T10:15:00Z"}};
    const QVariantMap shortYear{{"name", "Short"}, {"Birthday", "04/12/85"}};
    // The card's birthday was changed after the import: the kept century is no longer its.
    const QVariantMap edited{
        {"name", "Edited"}, {"Birthday", "05/06/06"}, {"birthdate", "1906-05-05"}};
    test::writeBook(book, {known, shortYear, edited});
    ExportOptions options;
    options.format = Format(format);
    options.version = VCardVersion(version);
    const QString first = folder.file(QStringLiteral("first.out"));
    const QString second = folder.file(QStringLiteral("second.out"));
    QCOMPARE(exportBook(book, first, options).exported, 3);
    QCOMPARE(exportBook(book, second, options).exported, 3);
    const QByteArray text = fileBytes(first);
    // The UIDs are kept in the book: the second export gives the same ones.
    QCOMPARE(fileBytes(second), text);
    QSet<QByteArray> uids;
    for (const QVariantMap& row : bookContacts(book))
        uids.insert(row.value(QStringLiteral("uid")).toByteArray());
    QCOMPARE(uids.size(), 3);
    QByteArray withoutUids = text;
    for (const QByteArray& uid : uids) {
        QVERIFY2(uid.startsWith("urn:uuid:") && text.contains(uid), uid.constData());
        withoutUids.replace(uid, "");
    }
    // A random UID may hold any digits; the years are looked for in the rest.
    for (const QString& part : present)
        QVERIFY2(withoutUids.contains(part.toUtf8()), qPrintable(part));
    for (const QString& part : absent)
        QVERIFY2(!withoutUids.contains(part.toUtf8()), qPrintable(part));
    // Imported again, each card shows its own birthday text and keeps a century it had.
    const QString again = folder.file(QStringLiteral("again.mdb"));
    test::writeBook(again, {});
    QCOMPARE(importFile(again, first).imported, 3);
    QStringList birthdays;
    for (const QVariantMap& row : bookContacts(again))
        birthdays << row.value("name").toString() + " " + row.value("Birthday").toString() + " " +
                         row.value("birthdate").toString();
    birthdays.sort();
    QCOMPARE(birthdays, QStringList({"Edited 05/06/06 ", "Old 05/05/06 1906-05-05",
                                     "Short 04/12/85 "}));
}

// --- cancel and a busy book ----------------------------------------------------------------

void TestExchange::cancelLeavesBook_data() {
    QTest::addColumn<int>("cancelAt"); // the progress call that answers false, 1-based
    QTest::newRow("at the first report") << 1;
    QTest::newRow("at the last report, everything read") << 8;
}

void TestExchange::cancelLeavesBook() {
    QFETCH(int, cancelAt);
    test::TempProgramFolder folder;
    const QString book = folder.file(QStringLiteral("book.mdb"));
    test::writeBook(book, sampleContacts());
    const QByteArray before = fileBytes(book);
    QVector<Contact> many;
    for (int i = 0; i < 1800; ++i) {
        Contact contact;
        contact.fields.insert(QStringLiteral("name"), QStringLiteral("Name%1").arg(i));
        contact.fields.insert(QStringLiteral("remarks"), QString(400, QLatin1Char('r')));
        many.append(contact);
    }
    const QString path = folder.file(QStringLiteral("many.vcf"));
    writeFile(path, writeVCards(many, VCardVersion::V4));
    int calls = 0;
    qint64 lastDone = 0;
    ImportOptions options;
    options.progress = [&calls, &lastDone, cancelAt, &path](qint64 done, qint64 total) {
        lastDone = done;
        return ++calls < cancelAt && total == QFileInfo(path).size();
    };
    const ImportSummary summary = importFile(book, path, options);
    QCOMPARE(calls, cancelAt);
    QVERIFY(lastDone > 0);
    if (cancelAt == 8)
        QCOMPARE(lastDone, QFileInfo(path).size());
    QVERIFY(summary.cancelled);
    QVERIFY(fileBytes(book) == before);
    QVERIFY(!QFile::exists(book + QStringLiteral("-journal")));
}

void TestExchange::bookBeingWritten() {
    test::TempProgramFolder folder;
    const QString book = folder.file(QStringLiteral("book.mdb"));
    test::writeBook(book, {});
    const QString path = folder.file(QStringLiteral("in.vcf"));
    writeFile(path, "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe;Jane;;;\r\nEND:VCARD\r\n");
    {
        test::BookWriteLock other(book);
        try {
            importFile(book, path);
            QFAIL("imported into a book another program was writing");
        } catch (const PlatformError& error) {
            QCOMPARE(error.number(), ErrorNumber::EngineLocked);
            QVERIFY2(error.description().contains(QStringLiteral("being written by another")),
                     qPrintable(error.description()));
        }
    }
    QCOMPARE(importFile(book, path).imported, 1);
}

void TestExchange::progressReachesTotal_data() {
    QTest::addColumn<bool>("utf16");
    QTest::newRow("UTF-8") << false;
    QTest::newRow("UTF-16") << true;
}

// The last report of an import says everything was read, whatever form the file had.
void TestExchange::progressReachesTotal() {
    QFETCH(bool, utf16);
    QString text;
    for (int i = 0; i < 700; ++i)
        text +=
            QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Näme%1;Ann\r\nEND:VCARD\r\n").arg(i);
    QByteArray bytes = text.toUtf8();
    if (utf16) {
        bytes = QByteArray("\xFF\xFE");
        for (const QChar c : text) {
            bytes.append(char(c.unicode() & 0xFF));
            bytes.append(char(c.unicode() >> 8));
        }
    }
    test::TempProgramFolder folder;
    const QString book = folder.file(QStringLiteral("book.mdb"));
    test::writeBook(book, {});
    const QString path = folder.file(QStringLiteral("in.vcf"));
    writeFile(path, bytes);
    QList<std::pair<qint64, qint64>> reports;
    ImportOptions options;
    options.progress = [&reports](qint64 done, qint64 total) {
        reports.append({done, total});
        return true;
    };
    QCOMPARE(importFile(book, path, options).imported, 700);
    QCOMPARE(reports.size(), 3);
    QVERIFY(reports[0].first < reports[1].first);
    QCOMPARE(reports.last().first, reports.last().second);
}

void TestExchange::exportCancelled_data() {
    QTest::addColumn<QByteArray>("earlier"); // the file at the path beforehand, empty for none
    QTest::newRow("no earlier file") << QByteArray();
    QTest::newRow("earlier file kept") << QByteArray("BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Old\r\n");
}

void TestExchange::exportCancelled() {
    QFETCH(QByteArray, earlier);
    test::TempProgramFolder folder;
    const QString book = folder.file(QStringLiteral("book.mdb"));
    QList<QVariantMap> contacts;
    for (int i = 0; i < 300; ++i)
        contacts.append(test::contactNamed(QStringLiteral("Name%1").arg(i), QStringLiteral("F")));
    test::writeBook(book, contacts);
    const QString path = folder.file(QStringLiteral("out.vcf"));
    if (!earlier.isEmpty())
        writeFile(path, earlier);
    ExportOptions options;
    qint64 seenTotal = 0;
    options.progress = [&seenTotal](qint64, qint64 total) {
        seenTotal = total;
        return false;
    };
    const ExportSummary summary = exportBook(book, path, options);
    QVERIFY(summary.cancelled);
    QCOMPARE(seenTotal, 300);
    QCOMPARE(QFile::exists(path), !earlier.isEmpty());
    if (!earlier.isEmpty())
        QCOMPARE(fileBytes(path), earlier);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files).size(), earlier.isEmpty() ? 1 : 2);
}

// --- what is exported ----------------------------------------------------------------------

void TestExchange::exportScopes_data() {
    QTest::addColumn<int>("scope");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("whole book") << int(ExportScope::WholeBook) << QString()
                                << QStringList{"Avery", "Brown", "Cole"};
    QTest::newRow("flagged for printing")
        << int(ExportScope::FlaggedForPrinting) << QString() << QStringList{"Avery", "Cole"};
    QTest::newRow("business view")
        << int(ExportScope::RecordSource)
        << "SELECT * FROM PhoneBK WHERE PhoneBK.extra4 = 'Business Contact'ORDER BY "
           "PhoneBK.name, PhoneBK.namef;"
        << QStringList{"Brown"};
    QTest::newRow("letter, dialect Like")
        << int(ExportScope::RecordSource) << "SELECT * FROM PhoneBK WHERE [name] Like 'C*'"
        << QStringList{"Cole"};
}

void TestExchange::exportScopes() {
    QFETCH(int, scope);
    QFETCH(QString, source);
    QFETCH(QStringList, names);
    test::TempProgramFolder folder;
    const QString book = folder.file(QStringLiteral("book.mdb"));
    QVariantMap cole = test::contactNamed(QStringLiteral("Cole"), QStringLiteral("Cy"));
    cole.insert(QStringLiteral("extra7"), QStringLiteral("Y"));
    QVariantMap avery = test::contactNamed(QStringLiteral("Avery"), QStringLiteral("Al"));
    avery.insert(QStringLiteral("extra7"), QStringLiteral("Y"));
    test::writeBook(book, {cole,
                           test::contactNamed(QStringLiteral("Brown"), QStringLiteral("Bo"),
                                              QStringLiteral("Business Contact")),
                           avery});
    for (const Format format : {Format::VCard, Format::Csv}) {
        ExportOptions options;
        options.format = format;
        options.scope = ExportScope(scope);
        options.recordSource = source;
        const QString path = folder.file(QStringLiteral("out.txt"));
        QCOMPARE(exportBook(book, path, options).exported, names.size());
        QStringList read;
        for (const ReadRecord& record : readFile(path).records)
            read.append(record.contact.value(QStringLiteral("name")));
        QCOMPARE(read, names);
    }
}

QTEST_MAIN(TestExchange)
#include "test_exchange.moc"
