#include "sync/SyncEngineCommand.h"

#include "core/BookFiles.h"
#include "core/ContactRecord.h"
#include "core/SettingsStore.h"
#include "platform/files/PlatformError.h"
#include "platform/files/ProgramFolder.h"
#include "platform/ui/MessageBox.h"
#include "sync/CardDav.h"
#include "sync/PasswordStore.h"
#include "sync/SyncAccount.h"
#include "sync/SyncEngine.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace quillory::sync {

namespace {

int fail(const QString& why) {
    std::fprintf(
        stderr, "quillory: %s\n",
        qPrintable(QString(why).replace(QLatin1Char('\n'), QLatin1Char(' ')).simplified()));
    return 1;
}

// Read from the terminal with the echo off; empty when stdin is no terminal.
QString askPassword(const Account& account) {
    if (!isatty(STDIN_FILENO))
        return {};
    std::fprintf(stderr, "Password of %s at %s: ", qPrintable(account.user),
                 qPrintable(account.url.toDisplayString()));
    termios before{};
    tcgetattr(STDIN_FILENO, &before);
    termios silent = before;
    silent.c_lflag &= ~tcflag_t(ECHO);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    std::string line;
    std::getline(std::cin, line);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &before);
    std::fprintf(stderr, "\n");
    return QString::fromStdString(line);
}

// The password kept for the account (the environment, then the secret store), else typed on the
// terminal; empty when there is none.
QString passwordOf(const Account& account) {
    const std::optional<QString> kept =
        PasswordStore::read(PasswordStore::keyOf(account.url, account.user));
    return kept && !kept->isEmpty() ? *kept : askPassword(account);
}

// Whether the user's settings ask for the back-up the program makes on exit; a settings file
// that cannot be used is told on the error stream.
bool backsUp(const ProgramFolder& folder) {
    ui::MessageBoxService::setResponder([](const ui::MessageRequest& box) {
        std::fprintf(stderr, "quillory: %s\n", qPrintable(box.text.simplified()));
        return ui::Answer::Ok;
    });
    UserSettings settings;
    SettingsStore(folder.path()).load(settings);
    return settings.autoBackup == 1;
}

} // namespace

int runSyncCommandLine(const ProgramFolder& folder, const QString& url, const QString& user) {
    const SyncAccount saved = SyncAccount::load(folder.path());
    Account account;
    if (url.isEmpty()) {
        if (!saved.isSet())
            return fail(QStringLiteral("no sync account is saved; give --sync URL --sync-user "
                                       "USER."));
        account.url = saved.url;
        account.addressBook = saved.addressBook;
        account.user = user.isEmpty() ? saved.user : user;
    } else {
        account.url = QUrl::fromUserInput(url);
        if (!account.url.isValid())
            return fail(QStringLiteral("\"%1\" is no server address.").arg(url));
        // The saved choice of address book holds for the saved server only.
        if (account.url == saved.url)
            account.addressBook = saved.addressBook;
        account.user = user.isEmpty() && account.url == saved.url ? saved.user : user;
    }
    if (account.user.isEmpty())
        return fail(QStringLiteral("no user name; give --sync-user USER."));
    account.allowPlainHttp = SyncOptions::load(folder.path()).plainHttpAllowed(account.url);
    account.password = passwordOf(account);
    if (account.password.isEmpty())
        return fail(QStringLiteral("no password: set QUILLORY_SYNC_PASSWORD, keep it with File, "
                                   "Sync with server..., or run on a terminal."));
    try {
        bookfiles::ensureBookFiles(folder);
        // Contacts the server deleted leave the book: the back-up made first, as on exit, still
        // holds them. There is no exit back-up after a sync without a window to do it instead.
        const bool backedUp = backsUp(folder);
        if (backedUp) {
            if (const std::optional<QString> failure = bookfiles::BackUpBook(folder))
                return fail(QStringLiteral("the book could not be backed up before the sync: ") +
                            *failure);
        }
        CardDavClient client(account);
        SyncSummary summary = synchronize(folder.file(contact::file::Book), client);
        if (summary.removedHere > 0 && backedUp)
            summary.notes.append(
                QStringLiteral("The contacts deleted on the server are kept in the back-up %1.")
                    .arg(contact::file::BackupName));
        std::printf("%s\n", qPrintable(summary.text()));
        // The account given on the line is the one a later --sync alone uses.
        if (!url.isEmpty() &&
            !SyncAccount{account.url, account.user, client.addressBook()}.save(folder.path()))
            std::fprintf(stderr, "quillory: the account could not be written to the settings "
                                 "file.\n");
    } catch (const SyncError& error) {
        return fail(error.message());
    } catch (const PlatformError& error) {
        return fail(error.description());
    } catch (const std::exception& error) {
        return fail(QString::fromLocal8Bit(error.what()));
    }
    return 0;
}

} // namespace quillory::sync
