#include "printing/Envelope.h"

#include "core/ContactRecord.h"
#include "core/frmMain.h"
#include "core/SettingsStore.h"
#include "platform/engine/Database.h"
#include "platform/files/PlatformError.h"
#include "platform/files/ProgramFolder.h"
#include "platform/printer/LinePrinter.h"
#include "platform/ui/MessageBox.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>

namespace quillory {

namespace {

using Feed = UserSettings::EnvelopeFeed;

constexpr int ReturnColumn = 10;
constexpr int RecipientColumn = 48;
const QString EnvelopeFont = QStringLiteral("Arial");
const QString JobName = QStringLiteral("Envelope");

PdfFileChooser& chooser() {
    static PdfFileChooser installed;
    return installed;
}

QString askForPdfFile(QWidget* parent) {
    if (chooser())
        return chooser()(parent);
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Save Envelope as PDF"),
                                        QDir::home().filePath(QStringLiteral("Envelope.pdf")),
                                        QStringLiteral("PDF files (*.pdf)"));
}

// An address block: the second address line only when it holds text (a line of blanks is
// printed), the city on a line of its own, and the state and zip with a comma between them. The
// comma stands only between two texts: a return address never saved prints no lone ",", and
// its empty lines keep their places, so the recipient stands where it always does.
void printAddress(printer::LinePage& page, int column, const EnvelopeAddress& address) {
    page.printLine(column, address.name);
    page.printLine(column, address.address1);
    if (!address.address2.isEmpty())
        page.printLine(column, address.address2);
    page.printLine(column, address.city);
    const QString separator =
        address.state.isEmpty() || address.zip.isEmpty() ? QString() : QStringLiteral(",  ");
    page.printLine(column, address.state + separator + address.zip);
}

void printEmptyLines(printer::LinePage& page, int count) {
    for (int i = 0; i < count; ++i)
        page.printEmptyLine();
}

} // namespace

EnvelopeAddress returnAddressOf(const UserSettings& settings) {
    return {settings.userName, settings.userAddress1, settings.userAddress2,
            settings.userCity, settings.userState,    settings.userZip};
}

EnvelopeAddress recipientFrom(const QString& first, const QString& last, const QString& address1,
                              const QString& address2, const QString& city, const QString& state,
                              const QString& zip) {
    return {first + QLatin1Char(' ') + last, address1, address2, city, state, zip};
}

EnvelopeAddress recipientOf(const frmMain& main) {
    return recipientFrom(main.Text12->text(), main.Text1->text(), main.Text2->text(),
                         main.Text3->text(), main.Text4->text(), main.Text5->text(),
                         main.Text6->text());
}

bool printsRightSide(Feed feed) {
    return feed == Feed::Right;
}

printer::LinePage envelopePage(const UserSettings& settings, const EnvelopeAddress& recipient) {
    printer::LinePage page;
    if (settings.envelopeFeed == Feed::Manual)
        page.setFeed(1);
    else if (settings.envelopeFeed == Feed::Left || settings.envelopeFeed == Feed::Right)
        page.setFeed(2);
    const bool rightSide = printsRightSide(settings.envelopeFeed);
    // The envelope on the left side of the tray is the page itself. On the right side of the
    // tray, and through the paper tray, it lies inside a letter-size frame: the right-side lines
    // reach 35 lines down and the manual feed is upright, and neither fits a #10 page.
    if (rightSide || settings.envelopeFeed == Feed::Manual)
        page.setPageSize(QPageSize(QPageSize::Letter));

    page.setFont(EnvelopeFont, 8, true);
    if (rightSide)
        printEmptyLines(page, 35);
    printAddress(page, ReturnColumn, returnAddressOf(settings));
    printEmptyLines(page, rightSide ? 11 : 6);
    page.setFontSize(10);
    printAddress(page, RecipientColumn, recipient);
    return page;
}

void setEnvelopePdfChooser(PdfFileChooser installed) {
    chooser() = std::move(installed);
}

void printEnvelope(const printer::LinePage& page, QWidget* parent) {
    QString printerName;
    try {
        printerName = printer::LinePrinter::defaultPrinterName();
        printer::LinePrinter::printOnDefault(page, JobName);
        return;
    } catch (const std::exception& error) {
        const auto* platform = dynamic_cast<const PlatformError*>(&error);
        const QString reason =
            platform ? platform->description() : QString::fromLocal8Bit(error.what());
        const QString where = printerName.isEmpty()
                                  ? QStringLiteral("The envelope could not be printed.")
                                  : QStringLiteral("The envelope could not be printed on the "
                                                   "printer \"%1\".")
                                        .arg(printerName);
        const ui::Answer answer = ui::MessageBoxService::show(
            {where + QStringLiteral("\n\n") + reason +
                 QStringLiteral("\n\nDo you want to save the envelope as a PDF file instead?"),
             ui::Buttons::YesNo, ui::Icon::Exclamation, 0, QStringLiteral("Print Envelope")},
            parent);
        if (answer != ui::Answer::Yes)
            return;
    }
    const QString path = askForPdfFile(parent);
    if (path.isEmpty())
        return;
    try {
        printer::LinePrinter::writePdf(page, path, JobName);
    } catch (const std::exception& error) {
        const auto* platform = dynamic_cast<const PlatformError*>(&error);
        ui::MessageBoxService::show(
            {QStringLiteral("The envelope could not be saved as \"%1\".\n\n%2")
                 .arg(QDir::toNativeSeparators(path),
                      platform ? platform->description() : QString::fromLocal8Bit(error.what())),
             ui::Buttons::Ok, ui::Icon::Exclamation, 0, QStringLiteral("Print Envelope")},
            parent);
    }
}

void writeFirstContactEnvelope(const ProgramFolder& folder, const QString& pdfPath) {
    UserSettings settings;
    SettingsStore(folder.path()).load(settings);
    const auto book =
        engine::Database::open(folder.file(contact::file::Book), engine::Database::Mode::ReadOnly);
    engine::Statement contacts(*book, contact::source::Sorted);
    if (!contacts.step())
        throw PlatformError(ErrorNumber::EngineNoCurrentRecord,
                            QStringLiteral("The book holds no contacts."));
    auto field = [&contacts](const char* name) {
        for (int column = 0; column < contacts.columnCount(); ++column) {
            if (contacts.columnName(column).compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                return contacts.column(column).toString();
        }
        return QString();
    };
    const EnvelopeAddress recipient =
        recipientFrom(field("namef"), field("name"), field("address1"), field("address2"),
                      field("city"), field("state"), field("zip"));
    printer::LinePrinter::writePdf(envelopePage(settings, recipient), pdfPath,
                                   QStringLiteral("Envelope"));
}

} // namespace quillory
