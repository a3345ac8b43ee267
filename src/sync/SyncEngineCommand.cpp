#include "sync/SyncEngineCommand.h"

#include "core/BookFiles.h"
#include "core/ContactRecord.h"
#include "platform/files/PlatformError.h"
#include "platform/files/ProgramFolder.h"
#include "sync/CardDav.h"
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
    account.password = qEnvironmentVariable("QUILLORY_SYNC_PASSWORD");
    if (account.password.isEmpty())
        account.password = askPassword(account);
    if (account.password.isEmpty())
        return fail(QStringLiteral("no password: set QUILLORY_SYNC_PASSWORD or run on a "
                                   "terminal."));
    try {
        bookfiles::ensureBookFiles(folder);
        CardDavClient client(account);
        const SyncSummary summary = synchronize(folder.file(contact::file::Book), client);
        std::printf("%s\n", qPrintable(summary.text()));
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
