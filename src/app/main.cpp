// Quillory: an address and phone book for one person's contacts.

#include "app/HomeLock.h"
#include "app/Registration.h"
#include "core/AppContext.h"
#include "core/BookFiles.h"
#include "core/ContactRecord.h"
#include "core/frmMain.h"
#include "core/frmSplash.h"
#include "core/ProgramInfo.h"
#include "core/SettingsStore.h"
#include "exchange/CommandLine.h"
#include "platform/files/FileOps.h"
#include "platform/files/PlatformError.h"
#include "platform/files/ProgramFolder.h"
#include "platform/report/PrintOutput.h"
#include "platform/report/ReportSource.h"
#include "platform/ui/MessageBox.h"
#include "printing/Envelope.h"
#include "printing/frmLabel.h"
#include "sync/SyncEngineCommand.h"
#include "tidy/DuplicatesCommand.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QTimer>

namespace {

bool haveDisplay() {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty())
        return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

QStringList argumentList(int argc, char** argv) {
    QStringList out;
    for (int i = 0; i < argc; ++i)
        out.append(QFile::decodeName(argv[i]));
    return out;
}

// The folder given with --home as the bytes of the command line: the parser sees decoded
// text, which cannot name a folder whose name is not in the file names' encoding. The last
// one given counts, as it does for the parser.
QByteArray nativeHome(int argc, char** argv) {
    QByteArray found;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--")
            break;
        if (argument == "--home" && i + 1 < argc)
            found = argv[++i];
        else if (argument.startsWith("--home="))
            found = argument.mid(7);
    }
    return found;
}

// --report TEMPLATE --pdf FILE: fills a template and writes it as PDF, with no window. Without
// --selection and --sort it chooses the rows the program's own print job chooses.
int writeReport(const QCommandLineParser& parser, const QCommandLineOption& report,
                const QCommandLineOption& pdf, const QCommandLineOption& selection,
                const QCommandLineOption& sort, const QCommandLineOption& missing,
                const quillory::ProgramFolder& folder) {
    const QString name = parser.value(report);
    try {
        int blanks = 0;
        if (parser.isSet(missing)) {
            bool whole = false;
            blanks = parser.value(missing).toInt(&whole);
            if (!whole || blanks < 0)
                throw quillory::PlatformError(
                    quillory::ErrorNumber::EngineSyntax,
                    QStringLiteral("--missing takes a count of labels, not \"%1\".")
                        .arg(parser.value(missing)));
        }
        quillory::report::ReportRequest request = quillory::report::defaultRequest(name);
        if (parser.isSet(selection))
            request.selectionFormula = parser.value(selection);
        if (parser.isSet(sort)) {
            const QStringList sorts = parser.values(sort);
            if (sorts.size() > 2)
                throw quillory::PlatformError(quillory::ErrorNumber::EngineSyntax,
                                              QStringLiteral("At most two --sort fields."));
            request.sortFields = {sorts.value(0), sorts.value(1)};
        }
        // Address labels are printed from a copy of the book, made afresh for every run as the
        // label dialog makes one, so that the book's latest edits are printed and nothing an
        // earlier print left in a copy is.
        if (quillory::report::loadTemplate(quillory::report::findTemplate(name, folder))
                .database.compare(QStringLiteral("print.mdb"), Qt::CaseInsensitive) == 0)
            quillory::makePrintCopy(folder);
        // Label sheets are moved by the printer calibration the user saved; with no window, a
        // settings file that cannot be used is told on the error stream.
        quillory::ui::MessageBoxService::setResponder([](const quillory::ui::MessageRequest& box) {
            std::fprintf(stderr, "quillory: %s\n", qPrintable(box.text.simplified()));
            return quillory::ui::Answer::Ok;
        });
        quillory::UserSettings settings;
        quillory::SettingsStore(folder.path()).load(settings);
        request.labelOffset = QPointF(settings.labelOffsetX, settings.labelOffsetY);
        request.leaveBlank = blanks;
        const auto source = quillory::report::openReport(request, folder);
        quillory::report::writePdf(*source, parser.value(pdf));
    } catch (const quillory::PlatformError& error) {
        std::fprintf(
            stderr, "quillory: %s: %s\n", qPrintable(name),
            qPrintable(QString(error.description()).replace(QLatin1Char('\n'), QLatin1Char(' '))));
        return 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quillory: %s: %s\n", qPrintable(name), error.what());
        return 1;
    }
    return 0;
}

// Says that the book of `folder` is open in a program already running, after asking that
// program to bring its window forward.
int tellOpenElsewhere(const quillory::ProgramFolder& folder) {
    const bool cameForward = quillory::HomeLock::askToComeForward(folder.path());
    const QString book = QDir::toNativeSeparators(folder.file(quillory::contact::file::Book));
    const QString text =
        cameForward
            ? QStringLiteral("The address book \"%1\" is already open in another Quillory "
                             "window, which has been brought forward.")
                  .arg(book)
            : QStringLiteral("The address book \"%1\" is already open in another Quillory "
                             "window, which did not answer. Close that Quillory before you start "
                             "it again on this book.")
                  .arg(book);
    std::fprintf(stderr, "quillory: %s\n", qPrintable(text));
    quillory::ui::MessageBoxService::inform(text, {}, quillory::ui::Icon::Information);
    return 0;
}

// Brings the running program's window to the front, with the dialog the user is in above it.
void bringForward(quillory::AppContext& app, QWidget& splash) {
    QWidget* window = app.hasMainWindow() ? &app.mainWindow() : &splash;
    if (!window->isVisible())
        return;
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->raise();
    window->activateWindow();
    if (QWidget* dialog = QApplication::activeModalWidget()) {
        dialog->raise();
        dialog->activateWindow();
    }
}

} // namespace

int main(int argc, char** argv) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Quillory, an address and phone book."));
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Show this help and exit."));
    const QCommandLineOption versionOption({QStringLiteral("v"), QStringLiteral("version")},
                                           QStringLiteral("Show the version and exit."));
    const QCommandLineOption homeOption(
        QStringLiteral("home"),
        QStringLiteral("Keep the book, the settings and the back-ups in DIR."),
        QStringLiteral("DIR"));
    const QCommandLineOption exitOption(
        QStringLiteral("exit-after-start"),
        QStringLiteral("Start as usual and exit once the first card is shown (for timing)."));
    const QCommandLineOption reportOption(
        QStringLiteral("report"),
        QStringLiteral("Fill the report template NAME (such as combook1.rpt) and write it with "
                       "--pdf, without a window."),
        QStringLiteral("NAME"));
    const QCommandLineOption pdfOption(
        QStringLiteral("pdf"),
        QStringLiteral("Write the report (with --report) or the envelope (with --envelope) to FILE "
                       "as PDF, without a window."),
        QStringLiteral("FILE"));
    const QCommandLineOption selectionOption(
        QStringLiteral("selection"),
        QStringLiteral("Choose the report's rows with FORMULA (\"\" for every row) instead of "
                       "the print job's own choice."),
        QStringLiteral("FORMULA"));
    const QCommandLineOption sortOption(
        QStringLiteral("sort"),
        QStringLiteral("Sort the report by FIELD, such as +{PhoneBK.name}; give it twice for a "
                       "second key."),
        QStringLiteral("FIELD"));
    const QCommandLineOption missingOption(
        QStringLiteral("missing"),
        QStringLiteral("With --report and a label template: leave the first N labels of the "
                       "first sheet empty."),
        QStringLiteral("N"));
    // The envelope of the first contact of the sorted book, written as a PDF without a window.
    const QCommandLineOption envelopeOption(
        QStringLiteral("envelope"),
        QStringLiteral("With --pdf: write the envelope of the book's first contact."));
    // Contacts in and out of the book without a window (see exchange/CommandLine.h).
    const QCommandLineOption importOption(
        QStringLiteral("import"),
        QStringLiteral("Import the contacts of FILE (vCard or CSV) into the book, without a "
                       "window."),
        QStringLiteral("FILE"));
    const QCommandLineOption exportOption(
        QStringLiteral("export"),
        QStringLiteral("Export the book's contacts to FILE, without a window."),
        QStringLiteral("FILE"));
    const QCommandLineOption formatOption(
        QStringLiteral("format"),
        QStringLiteral(
            "With --import: vcard or csv (found from the file when not given); with "
            "--export: vcard, vcard3, vcard21 or csv (csv for a .csv name, else vcard)."),
        QStringLiteral("FORMAT"));
    const QCommandLineOption duplicateOption(
        QStringLiteral("on-duplicate"),
        QStringLiteral("With --import: skip (the default), add or update a contact the book "
                       "already has."),
        QStringLiteral("CHOICE"));
    const QCommandLineOption contactTypeOption(
        QStringLiteral("contact-type"),
        QStringLiteral("With --import: the contact type of contacts the file gives none: auto "
                       "(the default: business for a card with a company or with work phones "
                       "only, else personal), personal or business."),
        QStringLiteral("TYPE"));
    // The book in step with a CardDAV server without a window (see sync/SyncEngineCommand.h).
    const QCommandLineOption syncOption(
        QStringLiteral("sync"),
        QStringLiteral("Sync the book with the CardDAV server at URL (its root or an address "
                       "book's own URL), or with the saved account when no URL follows. The "
                       "password is read from QUILLORY_SYNC_PASSWORD, else asked for."));
    const QCommandLineOption syncUserOption(
        QStringLiteral("sync-user"), QStringLiteral("With --sync: the user name on the server."),
        QStringLiteral("USER"));
    // The groups of probable duplicates, printed without a window (see tidy/DuplicatesCommand.h).
    const QCommandLineOption findDuplicatesOption(
        QStringLiteral("find-duplicates"),
        QStringLiteral("Print the groups of contacts that are probably one person, one line per "
                       "contact: group number, the contact's id, its name and the group's "
                       "reason, tab-separated. Nothing is changed."));
    parser.addOptions({helpOption, versionOption, homeOption, exitOption, reportOption, pdfOption,
                       selectionOption, sortOption, envelopeOption, missingOption, importOption,
                       exportOption, formatOption, duplicateOption, contactTypeOption, syncOption,
                       syncUserOption, findDuplicatesOption});
    parser.addPositionalArgument(QStringLiteral("URL"),
                                 QStringLiteral("With --sync: the server's address."),
                                 QStringLiteral("[URL]"));

    if (!parser.parse(argumentList(argc, argv))) {
        std::fprintf(stderr, "quillory: %s\nTry 'quillory --help'.\n",
                     qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(helpOption)) {
        // The parser runs before the application object exists, so it cannot name the program.
        QString help = parser.helpText();
        help.replace(QStringLiteral("<executable_name>"), QStringLiteral("quillory"));
        std::printf("%s", qPrintable(help));
        return 0;
    }
    if (parser.isSet(versionOption)) {
        std::printf("quillory %s\n", quillory::program::Version);
        return 0;
    }
    const bool reporting = parser.isSet(reportOption);
    const bool envelope = parser.isSet(envelopeOption);
    if (reporting && envelope) {
        std::fprintf(stderr, "quillory: --report and --envelope cannot be used together.\n");
        return 2;
    }
    if ((reporting || envelope) != parser.isSet(pdfOption)) {
        std::fprintf(stderr, "quillory: --pdf goes with --report or --envelope.\n");
        return 2;
    }
    const bool exchanging = parser.isSet(importOption) || parser.isSet(exportOption);
    if (!exchanging && (parser.isSet(formatOption) || parser.isSet(duplicateOption) ||
                        parser.isSet(contactTypeOption))) {
        std::fprintf(stderr, "quillory: --format, --on-duplicate and --contact-type go with "
                             "--import or --export.\n");
        return 2;
    }
    if (exchanging && (reporting || envelope)) {
        std::fprintf(stderr, "quillory: --import and --export cannot be used with --report or "
                             "--envelope.\n");
        return 2;
    }
    const bool syncing = parser.isSet(syncOption);
    if (!syncing && (parser.isSet(syncUserOption) || !parser.positionalArguments().isEmpty())) {
        std::fprintf(stderr, "quillory: a URL and --sync-user go with --sync.\n");
        return 2;
    }
    if (syncing &&
        (exchanging || reporting || envelope || parser.positionalArguments().size() > 1)) {
        std::fprintf(stderr, "quillory: --sync takes one URL and no --import, --export, --report "
                             "or --envelope.\n");
        return 2;
    }
    const bool findingDuplicates = parser.isSet(findDuplicatesOption);
    if (findingDuplicates && (syncing || exchanging || reporting || envelope)) {
        std::fprintf(stderr, "quillory: --find-duplicates cannot be used with --sync, --import, "
                             "--export, --report or --envelope.\n");
        return 2;
    }
    // A report written to a file needs fonts but no screen, not even when one is named but
    // cannot be reached; an import, export, sync or search for duplicates needs neither.
    if ((reporting || envelope || exchanging || syncing || findingDuplicates) &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!haveDisplay()) {
        std::fprintf(stderr, "quillory: no display found; start it under a virtual one, for "
                             "example: xvfb-run -s \"-screen 0 1280x1024x24\" quillory\n");
        return 1;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillory"));
    QApplication::setApplicationVersion(QString::fromLatin1(quillory::program::Version));
    QApplication::setOrganizationName(QStringLiteral("Quillory"));
    QApplication::setDesktopFileName(QStringLiteral("quillory"));
    // The card's boxes were measured for a compact sans-serif face of the Arial family.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPointSizeF(9);
    QApplication::setFont(font);

    const QString executableFolder = QFileInfo(QApplication::applicationFilePath()).absolutePath();
    std::optional<quillory::ProgramFolder> folder;
    try {
        folder = quillory::ProgramFolder::choose(
            quillory::files::folderFromNative(nativeHome(argc, argv), true), executableFolder);
    } catch (const quillory::PlatformError& error) {
        std::fprintf(stderr, "quillory: %s\n", qPrintable(error.description()));
        return 1;
    }
    quillory::bookfiles::protectOwnFiles(*folder);
    if (reporting)
        return writeReport(parser, reportOption, pdfOption, selectionOption, sortOption,
                           missingOption, *folder);
    if (exchanging)
        return quillory::exchange::runCommandLine(
            *folder,
            {parser.value(importOption), parser.value(exportOption), parser.value(formatOption),
             parser.value(duplicateOption), parser.value(contactTypeOption)});
    if (findingDuplicates)
        return quillory::tidy::runFindDuplicatesCommandLine(*folder);
    if (syncing)
        return quillory::sync::runSyncCommandLine(*folder, parser.positionalArguments().value(0),
                                                  parser.value(syncUserOption));
    if (envelope) {
        try {
            quillory::writeFirstContactEnvelope(*folder, parser.value(pdfOption));
        } catch (const quillory::PlatformError& error) {
            std::fprintf(stderr, "quillory: %s\n", qPrintable(error.description().simplified()));
            return 1;
        }
        return 0;
    }
    // A second window on the same book would keep its own card, and the last to save would
    // win: the program already running on this folder is brought forward instead.
    const std::unique_ptr<quillory::HomeLock> homeLock = quillory::HomeLock::take(folder->path());
    if (!homeLock)
        return tellOpenElsewhere(*folder);
    quillory::AppContext app(*folder);
    quillory::registerAllCommands(app);

    quillory::frmSplash splash(app);
    app.setSplash(&splash);
    homeLock->setComeForward([&app, &splash] { bringForward(app, splash); });
    if (parser.isSet(exitOption)) {
        QObject::connect(&splash, &quillory::frmSplash::started, &application,
                         [] { QTimer::singleShot(0, [] { QApplication::exit(0); }); });
    }
    splash.show();
    return application.exec();
}
