#include "maintenance/MaintenanceSteps.h"

#include "core/AppContext.h"
#include "core/BookFiles.h"
#include "core/CardMessages.h"
#include "core/ContactRecord.h"
#include "core/frmMain.h"
#include "platform/engine/DataSource.h"

#include <algorithm>
#include <QApplication>
#include <QDir>

namespace quillory::maintenance {

QWidget* messageParent(AppContext& app) {
    if (QWidget* dialog = QApplication::activeModalWidget())
        return dialog;
    return &app.mainWindow();
}

void tell(QWidget* parent, const QString& text, ui::Icon icon) {
    ui::MessageBoxService::show({text, ui::Buttons::Ok, icon, 0, {}}, parent);
}

bool confirm(QWidget* parent, const QString& text, const QString& caption) {
    return ui::MessageBoxService::show({text, ui::Buttons::YesNo, ui::Icon::Question, 1, caption},
                                       parent) == ui::Answer::Yes;
}

bool isOneOf(const PlatformError& error, std::initializer_list<int> numbers) {
    return std::find(numbers.begin(), numbers.end(), error.number()) != numbers.end();
}

QString reasonOf(const std::exception& error) {
    if (const auto* platform = dynamic_cast<const PlatformError*>(&error))
        return platform->description();
    return QString::fromUtf8(error.what());
}

QString failureText(const QString& whatFailed, const QString& reason) {
    return QStringLiteral("%1\n\n%2\n\nThe book is unchanged.").arg(whatFailed, reason);
}

BookRelease::BookRelease(AppContext& app) : m_app(app) {}

BookRelease::~BookRelease() {
    if (!m_released)
        return;
    // A command that ended early still leaves the main window on its book.
    try {
        bookfiles::ReopenBook(m_app.mainWindow().data(), m_app.folder());
    } catch (const std::exception&) {
    }
}

bool BookRelease::release() {
    frmMain& main = m_app.mainWindow();
    bookfiles::reportStep(bookfiles::Step::ReleaseBook, m_app.folder().file(contact::file::Book));
    // Letting go of the book re-queries the data source, which would drop the typing; it is
    // written here first so that a failure is told as the card's own.
    if (!main.writePendingCard(messageParent(m_app)))
        return false;
    bookfiles::ReleaseBook(main.data(), m_app.folder());
    m_released = true;
    return true;
}

bool BookRelease::reopen(bool reportFailure) {
    if (!m_released)
        return true;
    m_released = false;
    frmMain& main = m_app.mainWindow();
    const QString book = m_app.folder().file(contact::file::Book);
    bool opened = true;
    try {
        bookfiles::reportStep(bookfiles::Step::ReopenBook, book);
        bookfiles::ReopenBook(main.data(), m_app.folder());
    } catch (const std::exception& error) {
        opened = false;
        if (reportFailure)
            tell(messageParent(m_app),
                 QStringLiteral("The address book \"%1\" cannot be opened.\n\n%2")
                     .arg(QDir::toNativeSeparators(book), reasonOf(error)),
                 ui::Icon::Exclamation);
    }
    main.ShowContactStatus();
    return opened;
}

} // namespace quillory::maintenance
